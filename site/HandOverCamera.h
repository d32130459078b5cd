#pragma once
// Save to HALVEX as the window runs it: the camera's login checked, a factory password
// replaced first, then the hand-over written to the store.

#include "site/DevicePanel.h"
#include "vms/HandOver.h"

// Save to HALVEX: the camera of the IP edit with the login of the edits. A camera that
// still takes the factory login first gets a new password, which the hand-over then
// carries. True once handed over; false once the user was told why not.
bool HandOverCamera(const CHandOverStore &store, IUserInteraction &user, IDevicePanel &panel, CameraHandOver camera);
