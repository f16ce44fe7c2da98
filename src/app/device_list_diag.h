// What a technician asks of the device list beyond its four columns: which
// local address (adapter) heard each reply, and whether another device holds
// the same IP address. Both come from the list's typed rows; this shows them
// as a tint on rows whose IP address is held by more than one MAC address and
// as each row's tooltip.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "ops/device_row.h"
#include "ops/search_listing.h"

namespace vornik {

// The MAC addresses listed with each IP address. No Qt. It holds no more
// pairs than the device list holds rows, whatever it is given.
class AddressConflicts {
public:
    explicit AddressConflicts(size_t limit = SearchListing::LIMIT) : m_limit(limit) {}

    void Add(const DeviceRow& row);
    void Clear();
    // The address and MAC pairs held.
    size_t Size() const { return m_pairs; }

    // Every MAC address listed with ip, sorted, when there is more than one;
    // empty otherwise. A device heard twice is one MAC.
    std::vector<MacAddress> Macs(uint32_t ip) const;
    bool InConflict(uint32_t ip) const;

private:
    size_t m_limit;
    size_t m_pairs = 0;
    std::map<uint32_t, std::set<MacAddress>> m_macsByIp;
};

// The Qt side: a delegate that tints conflicting rows and a tooltip handler
// on the view's viewport, both keyed by row index as the logic numbers rows
// (the list may hold rows it has not shown yet).
class CReportList;

class DeviceListDiagnostics : public QObject {
public:
    explicit DeviceListDiagnostics(CReportList* view);

    const AddressConflicts& Conflicts() const { return m_conflicts; }
    bool InConflict(int row) const;
    // The row's tooltip; empty for a row the list does not hold.
    QString ToolTip(int row) const;
    // What the tint says, for screen readers: the tooltip's conflict line;
    // empty for a row not in conflict.
    QString ConflictText(int row) const;
    // The background of a conflicting row: the palette's base mixed with red,
    // so it reads on light and dark palettes alike.
    QColor Tint() const;
    // The row the logic numbers as the view's row.
    int LogicalRow(int viewRow) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Inserted(const DeviceRow& row);

    CReportList* m_view;
    QWidget* m_viewport; // the view's, lives as long as the view
    AddressConflicts m_conflicts;
};

} // namespace vornik
