#pragma once
// The site as one window works it, free of Qt: the device list, the search with its
// adapter choice, the actions on cameras, the Assign Addresses batch and the hand-over.
// The window shows it and answers its questions through the interfaces it implements
// (ISearchDisplay, IUserInteraction, IDevicePanel), follows the list's rows through
// IDeviceListObserver, and drives the batch's ticks through the timer it gives.

#include "inventory/DeviceList.h"
#include "platform/TickTimer.h"
#include "site/AssignAddresses.h"
#include "site/DeviceActions.h"
#include "site/DevicePanel.h"
#include "site/DeviceSearch.h"
#include "vms/HandOver.h"

class CSiteCore final {
public:
    CSiteCore(const CHandOverStore &store, ISearchDisplay &display, IUserInteraction &user, IDevicePanel &panel,
              ITickTimer &timer);
    ~CSiteCore();
    CSiteCore(const CSiteCore &) = delete;
    CSiteCore &operator=(const CSiteCore &) = delete;

    CDeviceList &Devices() { return m_devices; }
    CDeviceSearch &Search() { return m_search; }
    const CDeviceSearch &Search() const { return m_search; }
    CDeviceActions &Actions() { return m_actions; }
    CAssignAddresses &Batch() { return m_batch; }

    // Save to HALVEX for the camera (HandOverCamera.h); true once handed over.
    bool HandOver(const CameraHandOver &camera);

private:
    const CHandOverStore &m_store;
    IUserInteraction &m_user;
    IDevicePanel &m_panel;
    CDeviceList m_devices;
    CDeviceSearch m_search;
    CDeviceActions m_actions;
    CAssignAddresses m_batch;
};
