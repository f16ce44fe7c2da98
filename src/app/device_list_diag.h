// What a technician asks of the device list beyond its four columns: which
// local address (adapter) heard each reply, and whether another device holds
// the same IP address. The rows themselves stay as the window lists them; this
// keeps its own record per row, beside them, and shows it as a tint on rows
// whose IP address is held by more than one MAC address and as each row's
// tooltip.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>


namespace vornik {

struct Datagram;

// One row's record: the address and MAC address as the row shows them, and
// where the reply that made it came from.
struct DeviceRowInfo {
    std::string ip;
    std::string mac;
    uint32_t localAddress = 0; // the adapter whose socket received the reply; 0 unknown
    uint32_t sourceAddress = 0;
    uint16_t sourcePort = 0;
};

// The records by row index (0 is the top row, the newest). No Qt.
class DeviceRowTable {
public:
    void Insert(int row, DeviceRowInfo info); // past the end: appended, as the list does
    void SetMac(int row, const std::string& mac);
    void Clear();

    int Count() const { return int(m_rows.size()); }
    const DeviceRowInfo* At(int row) const;
    // Every MAC address listed with the row's IP address, sorted, when there
    // is more than one; empty otherwise. A device heard twice is one MAC.
    std::vector<std::string> ConflictMacs(int row) const;
    bool InConflict(int row) const;

private:
    void Count(const DeviceRowInfo& info, int delta);

    std::deque<DeviceRowInfo> m_rows;
    std::map<std::string, std::map<std::string, int>> m_macsByIp; // rows per IP and MAC
};

// The Qt side: a delegate that tints conflicting rows and a tooltip handler
// on the view's viewport, both keyed by row index as the logic numbers rows
// (the list may hold rows it has not shown yet).
class CReportList;

class DeviceListDiagnostics : public QObject {
public:
    explicit DeviceListDiagnostics(CReportList* view);

    DeviceRowTable& Rows() { return m_rows; }
    const DeviceRowTable& Rows() const { return m_rows; }
    // The row's tooltip; empty for a row without a record.
    QString ToolTip(int row) const;
    // The background of a conflicting row: the palette's base mixed with red,
    // so it reads on light and dark palettes alike.
    QColor Tint() const;
    // The row of the records that a row of the view shows.
    int LogicalRow(int viewRow) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CReportList* m_view;
    QWidget* m_viewport; // the view's, lives as long as the view
    DeviceRowTable m_rows;
};

} // namespace vornik
