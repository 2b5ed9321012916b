// platform/os: the operating-system services the program reaches through one small layer:
// profile-string INI files, the data and device folders, the program folder, the
// machine-wide settings store, and the diagnostics channel. Plain C++, no Qt.
#pragma once

#include "kavrel/os/diag.h"
#include "kavrel/os/folders.h"
#include "kavrel/os/ini.h"
#include "kavrel/os/machine_store.h"
