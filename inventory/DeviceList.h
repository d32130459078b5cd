#pragma once
// The window's device list: the cameras of the last search in the order shown, each
// with its Index number (its place in the order of arrival) and its check mark; the
// sort order of the header clicks; the camera of the details panel; the list's text
// file. A view follows it through IDeviceListObserver. One thread uses it, the one
// that handles the replies.

#include "addressing/AddressBatch.h"
#include "camera/DeviceListing.h"
#include "camera/Camera.h"
#include "inventory/CameraChoice.h"
#include "inventory/DeviceIndex.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

class IUserInteraction;

// Told of every change of the list, before and after it, so that a view keeps its
// rows, highlight and current row on the same cameras.
class IDeviceListObserver {
public:
    virtual void RowsAboutToBeAppended(int first, int last) = 0;
    virtual void RowsAppended() = 0;
    virtual void ListAboutToBeCleared() = 0;
    virtual void ListCleared() = 0;
    virtual void RowsAboutToBeReordered() = 0;
    // newRowOf[old row] is where that row went.
    virtual void RowsReordered(const std::vector<int> &newRowOf) = 0;
    virtual void RowChanged(int row) = 0;

protected:
    ~IDeviceListObserver() = default;
};

class CDeviceList final : public IDeviceListing, public ICameraChoice {
public:
    enum Column { kIndexColumn, kMacColumn, kIpColumn, kProductColumn, kFirmwareColumn, kStatusColumn, kColumnCount };
    static const char *ColumnCaption(int column);

    void SetObserver(IDeviceListObserver *observer) { m_observer = observer; }

    std::size_t ListedDeviceCount() const override { return m_rows.size(); }
    bool IsDeviceListed(const CameraProtocol &protocol, const std::string &identity) const override
    {
        return m_index.Contains(protocol, identity);
    }
    // Appends the camera with the next Index number and no check mark.
    void ListDevice(Camera camera) override;

    int Count() const { return int(m_rows.size()); }
    // The camera shown in the row; a row past the end gives the last, as the list always did.
    std::optional<Camera> CameraAt(int row) const;
    // Every camera of the list, in the order shown.
    std::vector<Camera> Cameras() const;
    // The row's text in a column: its bytes as the camera sent them.
    std::string CellText(int row, int column) const;
    // Empties the list for a new search; no camera is in the details panel then.
    void Clear() override;

    // -1 never set, 0 unchecked, 1 checked.
    int CheckMark(int row) const;
    // The cameras a reboot or factory reset goes to: every row not unchecked, in row order.
    std::vector<Camera> ChosenCameras() const override;
    // The cameras a batch goes to: the rows the user checked, in row order.
    std::vector<Camera> CheckedCameras() const;

    // A header click: Index checks or unchecks every row, by turns; any other column
    // sorts by its text, ascending and descending by turns.
    void OnColumnClick(int column);
    // Stable sort by the column's text; the Index column sorts nothing.
    void Sort(int column, bool ascending);
    static int CompareSortKeys(const std::string &a, const std::string &b, bool ascending);

    // The camera of the details panel, which moves with its row when the list is sorted.
    void Select(int row) { m_selected = row; }
    int SelectedRow() const { return m_selected; }
    std::optional<Camera> PanelCamera() const override;
    // New settings sent to the panel's camera: its row shows them from now on.
    void KeepSentSettings(const Camera &sent) override;

    // The last batch's verdicts, shown in the Status column of each camera's row (by
    // MAC) until the list is cleared.
    void ShowStatuses(const std::vector<PlanRowReport> &report);
    // Writes the list, one line a row in the order shown, as the file's whole content;
    // empty when it was written, else the reason.
    std::string WriteExport(const std::string &path) const;

private:
    struct Row {
        Camera camera;
        int number = 0;     // the Index column
        int stateImage = 0; // 0 unset, 1 unchecked, 2 checked
    };
    // The last batch's verdict for the camera, or nothing.
    std::string StatusOf(const Camera &camera) const;

    std::vector<Row> m_rows;
    CDeviceIndex m_index; // beside the rows, for the duplicate test of each reply
    std::map<std::string, std::string> m_statuses; // MAC as the report names it -> Status text
    int m_selected = -1;
    bool m_sortAscending = false;
    bool m_checkAll = false;
    IDeviceListObserver *m_observer = nullptr;
};

// Opens the camera's web page in the browser: https when the camera serves it, else http
// on its HTTP port. An address that is not a dotted quad, or an http port outside 1 to
// 65535, would send the browser elsewhere: the user is told instead and nothing opens.
void OpenCameraWebPage(IUserInteraction &user, const std::string &ip, bool https, std::uint32_t httpPort);
