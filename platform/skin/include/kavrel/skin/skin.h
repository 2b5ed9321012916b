// kavrel_skin: the skinned UI toolkit over Qt 6 Widgets.
//
// Windows are built from XML layouts (docs/skin-format.md); controls are found by name without
// regard to case; notifications reach one listener per window as (type, sender), in order, on
// the UI thread. See the headers included here for each part.
#pragma once

#include "kavrel/skin/builder.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/control.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/dialogs.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/menu.h"
#include "kavrel/skin/render.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/thread.h"
#include "kavrel/skin/tray.h"
#include "kavrel/skin/types.h"
#include "kavrel/skin/window.h"
