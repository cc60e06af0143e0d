// The tray program's program-wide objects, one of each. They are built before
// the entry point runs and destroyed at exit in reverse order; the orderly
// shutdown releases them earlier, and their destruction then does nothing.
#pragma once

#include "device.h"
#include "instance_mutex.h"
#include "tray_icon.h"

extern InstanceMutex instanceMutex;
extern TrayIcon trayIcon;
extern AspiBus aspiBus;          // start-up loads the ASPI32 library into it
extern CdromDevice cdromDevice;  // start-up points its bus at aspiBus
