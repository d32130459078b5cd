#include "site/SiteCore.h"

#include "site/HandOverCamera.h"

CSiteCore::CSiteCore(const CHandOverStore &store, ISearchDisplay &display, IUserInteraction &user,
                     IDevicePanel &panel, ITickTimer &timer)
    : m_store(store), m_user(user), m_panel(panel), m_search(m_devices, display, user),
      m_actions(m_search, m_devices, panel, user), m_batch(m_search, m_devices, user, timer)
{
}

// The search ends first, while the batch its last replies and ticks may reach still lives.
CSiteCore::~CSiteCore()
{
    m_search.Close();
}

bool CSiteCore::HandOver(const CameraHandOver &camera)
{
    return HandOverCamera(m_store, m_user, m_panel, camera);
}
