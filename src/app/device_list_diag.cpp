#include "app/device_list_diag.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "pages/report_list.h"

#include "proto/mac_address.h"
#include "proto/net_params.h"

namespace vornik {

namespace {

// Share of red in a conflicting row's background.
constexpr double kTintStrength = 0.3;

QString Address(uint32_t address) { return QString::fromStdString(FormatDottedQuad(address)); }

class TintDelegate : public QStyledItemDelegate {
public:
    TintDelegate(const DeviceListDiagnostics& owner, QObject* parent) : QStyledItemDelegate(parent), m_owner(owner) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.parent().isValid() && m_owner.InConflict(m_owner.LogicalRow(index.row())))
            option->backgroundBrush = m_owner.Tint();
    }

private:
    const DeviceListDiagnostics& m_owner;
};

} // namespace

void AddressConflicts::Add(const DeviceRow& row)
{
    if (m_pairs >= m_limit) return;
    if (m_macsByIp[row.ip].insert(row.mac).second) ++m_pairs;
}

void AddressConflicts::Clear()
{
    m_macsByIp.clear();
    m_pairs = 0;
}

std::vector<MacAddress> AddressConflicts::Macs(uint32_t ip) const
{
    if (!InConflict(ip)) return {};
    const std::set<MacAddress>& macs = m_macsByIp.at(ip);
    return {macs.begin(), macs.end()};
}

bool AddressConflicts::InConflict(uint32_t ip) const
{
    const auto it = m_macsByIp.find(ip);
    return it != m_macsByIp.end() && it->second.size() > 1;
}

DeviceListDiagnostics::DeviceListDiagnostics(CReportList* view)
    : QObject(view), m_view(view), m_viewport(view->viewport())
{
    view->setItemDelegate(new TintDelegate(*this, view));
    view->viewport()->installEventFilter(this);
    // The model goes with the view, before this: the hooks never outlive it.
    view->Rows().SetRowHooks([this](const DeviceRow& row) { Inserted(row); }, [this] { m_conflicts.Clear(); });
    // The tint is seen, not heard: a screen reader reads it as the row's description.
    view->Rows().SetDescription([this](int row) { return ConflictText(row); });
}

void DeviceListDiagnostics::Inserted(const DeviceRow& row)
{
    m_conflicts.Add(row);
    // A second MAC on an address tints rows already painted, far from this one.
    if (m_conflicts.InConflict(row.ip)) m_viewport->update();
}

bool DeviceListDiagnostics::InConflict(int row) const
{
    const DeviceRow* device = m_view->Rows().Device(row);
    return device && m_conflicts.InConflict(device->ip);
}

int DeviceListDiagnostics::LogicalRow(int viewRow) const { return m_view->Rows().LogicalRow(viewRow); }

QColor DeviceListDiagnostics::Tint() const
{
    const QColor base = m_view->palette().color(QPalette::Base);
    const QColor red(Qt::red);
    auto mix = [](int a, int b) { return int(a * (1 - kTintStrength) + b * kTintStrength + 0.5); };
    return QColor(mix(base.red(), red.red()), mix(base.green(), red.green()), mix(base.blue(), red.blue()));
}

QString DeviceListDiagnostics::ConflictText(int row) const
{
    const DeviceRow* device = m_view->Rows().Device(row);
    if (!device) return {};
    const std::vector<MacAddress> conflict = m_conflicts.Macs(device->ip);
    if (conflict.empty()) return {};
    QStringList macs;
    for (const MacAddress& mac : conflict) macs << QString::fromStdString(FormatMacHex(mac));
    return QCoreApplication::translate("DeviceListDiagnostics", "IP地址冲突：%1 都使用 %2").arg(macs.join(QCoreApplication::translate("DeviceListDiagnostics", "、")), Address(device->ip));
}

QString DeviceListDiagnostics::ToolTip(int row) const
{
    const DeviceRow* device = m_view->Rows().Device(row);
    if (!device) return {};
    QStringList lines;
    if (const QString conflict = ConflictText(row); !conflict.isEmpty()) lines << conflict;
    lines << QCoreApplication::translate("DeviceListDiagnostics", "接收网卡（本机地址）：%1")
                 .arg(device->adapter ? Address(device->adapter) : QCoreApplication::translate("DeviceListDiagnostics", "未知"));
    if (device->sender)
        lines << QCoreApplication::translate("DeviceListDiagnostics", "回复来自：%1:%2").arg(Address(device->sender)).arg(device->senderPort);
    return lines.join(QLatin1Char('\n'));
}

bool DeviceListDiagnostics::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: while the view is being torn down its viewport still
    // sends events here, and the view is no longer one to ask.
    if (event->type() != QEvent::ToolTip || watched != m_viewport) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = m_view->indexAt(help->pos());
    const QString text = index.isValid() && !index.parent().isValid() ? ToolTip(LogicalRow(index.row())) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, m_view->viewport(), m_view->visualRect(index));
    }
    return true;
}

} // namespace vornik
