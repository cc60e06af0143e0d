// One translation unit, so the four are built in this order and destroyed in
// the reverse one.
#include "program_objects.h"

InstanceMutex instanceMutex;
TrayIcon trayIcon;
AspiBus aspiBus;
CdromDevice cdromDevice;
