// kavrel_ui: the program's custom controls and its small windows.
#pragma once

#include "kavrel/ui/controls.h"
#include "kavrel/ui/copyright.h"
#include "kavrel/ui/msg_wnd.h"
#include "kavrel/ui/pallet_dialog.h"
#include "kavrel/ui/skin_changed.h"
#include "kavrel/ui/skin_frame.h"
