#include "inventory/DeviceList.h"

#include "camapi/CameraAddress.h"
#include "inventory/ExportFormat.h"
#include "platform/OutputFile.h"
#include "platform/UserInteraction.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

constexpr const char *kColumnCaptions[] = {"Index", "MAC ADDRESS", "IP ADDRESS", "PRODUCT NAME", "FIRMWARE VERSION",
                                           "Status"};
static_assert(std::size(kColumnCaptions) == CDeviceList::kColumnCount);

constexpr int kStateUnchecked = 1;
constexpr int kStateChecked = 2;

} // namespace

const char *CDeviceList::ColumnCaption(int column)
{
    return column >= 0 && column < kColumnCount ? kColumnCaptions[column] : "";
}

void CDeviceList::ListDevice(Camera camera)
{
    const int row = Count();
    if (m_observer)
        m_observer->RowsAboutToBeAppended(row, row);
    m_index.Add(camera);
    m_rows.push_back({std::move(camera), row + 1, 0});
    if (m_observer)
        m_observer->RowsAppended();
}

std::optional<Camera> CDeviceList::CameraAt(int row) const
{
    if (m_rows.empty())
        return std::nullopt;
    const std::size_t last = m_rows.size() - 1;
    return m_rows[row >= 0 && std::size_t(row) < last ? std::size_t(row) : last].camera;
}

std::vector<Camera> CDeviceList::Cameras() const
{
    std::vector<Camera> cameras;
    cameras.reserve(m_rows.size());
    for (const Row &row : m_rows)
        cameras.push_back(row.camera);
    return cameras;
}

std::string CDeviceList::CellText(int row, int column) const
{
    const Row &shown = m_rows.at(std::size_t(row));
    // Every column has its case and there is no default: a column added without its
    // text is a compiler warning, never a cell that shows another column's text.
    switch (Column(column)) {
    case kIndexColumn: return std::to_string(shown.number);
    case kMacColumn: return shown.camera.mac;
    case kIpColumn: return shown.camera.ip;
    case kProductColumn: return shown.camera.product;
    case kFirmwareColumn: return shown.camera.firmware;
    case kStatusColumn: return StatusOf(shown.camera);
    case kColumnCount: break;
    }
    return "";
}

std::string CDeviceList::StatusOf(const Camera &camera) const
{
    const auto status = m_statuses.find(NormalizedMac(camera.mac).value_or(""));
    return status == m_statuses.end() ? "" : status->second;
}

void CDeviceList::ShowStatuses(const std::vector<PlanRowReport> &report)
{
    m_statuses.clear();
    for (const PlanRowReport &row : report)
        m_statuses[row.mac] = StatusText(row);
    for (int row = 0; m_observer && row < Count(); ++row)
        m_observer->RowChanged(row);
}

void CDeviceList::Clear()
{
    if (m_observer)
        m_observer->ListAboutToBeCleared();
    m_rows.clear();
    m_statuses.clear();
    m_index.Clear();
    m_selected = -1;
    if (m_observer)
        m_observer->ListCleared();
}

int CDeviceList::CheckMark(int row) const
{
    return row >= 0 && row < Count() ? m_rows[std::size_t(row)].stateImage - 1 : -1;
}

std::vector<Camera> CDeviceList::ChosenCameras() const
{
    std::vector<Camera> chosen;
    for (const Row &row : m_rows)
        if (row.stateImage != kStateUnchecked)
            chosen.push_back(row.camera);
    return chosen;
}

std::vector<Camera> CDeviceList::CheckedCameras() const
{
    std::vector<Camera> checked;
    for (const Row &row : m_rows)
        if (row.stateImage == kStateChecked)
            checked.push_back(row.camera);
    return checked;
}

void CDeviceList::OnColumnClick(int column)
{
    if (column == kIndexColumn)
        m_checkAll = !m_checkAll;
    else
        m_sortAscending = !m_sortAscending;
    Sort(column, m_sortAscending);
}

int CDeviceList::CompareSortKeys(const std::string &a, const std::string &b, bool ascending)
{
    const int r = std::strcmp(a.c_str(), b.c_str());
    return ascending ? r : -r;
}

// Index clicks sort nothing: every key is empty, and they set every check mark.
void CDeviceList::Sort(int column, bool ascending)
{
    if (m_observer)
        m_observer->RowsAboutToBeReordered();
    std::vector<std::string> keys(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (column == kIndexColumn)
            m_rows[i].stateImage = m_checkAll ? kStateChecked : kStateUnchecked;
        else
            keys[i] = CellText(int(i), column);
    }
    std::vector<int> order(m_rows.size()); // order[new row] = old row
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return CompareSortKeys(keys[std::size_t(a)], keys[std::size_t(b)], ascending) < 0;
    });
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(m_rows[std::size_t(order[i])]);
        newRowOf[std::size_t(order[i])] = int(i);
    }
    m_rows = std::move(sorted);
    if (m_selected >= 0 && std::size_t(m_selected) < newRowOf.size())
        m_selected = newRowOf[std::size_t(m_selected)];
    if (m_observer)
        m_observer->RowsReordered(newRowOf);
}

std::optional<Camera> CDeviceList::PanelCamera() const
{
    if (m_selected < 0 || m_selected >= Count())
        return std::nullopt;
    return m_rows[std::size_t(m_selected)].camera;
}

void CDeviceList::KeepSentSettings(const Camera &sent)
{
    if (m_selected < 0 || m_selected >= Count())
        return;
    Camera &stored = m_rows[std::size_t(m_selected)].camera;
    m_index.Remove(stored);
    stored = sent;
    m_index.Add(sent);
    if (m_observer)
        m_observer->RowChanged(m_selected);
}

std::string CDeviceList::WriteExport(const std::string &path) const
{
    std::string content;
    for (const Row &row : m_rows)
        content += ExportLine(row.camera);
    return WriteWholeFile(path, content);
}

void OpenCameraWebPage(IUserInteraction &user, const std::string &ip, bool https, std::uint32_t httpPort)
{
    const std::optional<CCameraAddress> camera = CCameraAddress::FromText(ip);
    if (!camera) {
        user.ShowMessage("The camera's address is not an IPv4 address: its web page is not opened.");
        return;
    }
    if (https) {
        user.OpenWebPage(camera->Url("https", std::nullopt, ""));
        return;
    }
    if (httpPort < 1 || httpPort > 65535) {
        user.ShowMessage("The HTTP port is not a number from 1 to 65535: the camera's web page is not opened.");
        return;
    }
    user.OpenWebPage(camera->Url("http", std::uint16_t(httpPort), ""));
}
