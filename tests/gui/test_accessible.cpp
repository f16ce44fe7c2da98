// What a screen reader hears for each field: the name its label shows, with
// the group or channel where a label repeats.
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include "pages/report_list.h"

#include <map>

#include "app/tab_ctrl.h"
#include "gui_fixture.h"
#include "ops/control_ids.h"

namespace vornik::test {
namespace {

using AccessibleNames = WindowTest;

QString NameOf(QWidget* w)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Name) : QString();
}

// A drop-down's name: some platforms (X11 among them) give its current text
// as the name of the box itself, so the name lives on its text field, which
// is the box's editable child.
QString DropDownName(QComboBox* combo)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(combo);
    if (!face) return {};
    for (int i = 0; i < face->childCount(); ++i)
        if (face->child(i)->role() == QAccessible::EditableText) return face->child(i)->text(QAccessible::Name);
    return {};
}

// The labels a drop-down is related to, as a screen reader finds them.
QStringList LabelsOf(QWidget* w)
{
    QStringList out;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    for (const auto& [label, relation] : face->relations(QAccessible::Label)) out << label->text(QAccessible::Name);
    return out;
}

TEST_F(AccessibleNames, EveryFieldHasAUniqueName)
{
    std::map<QString, int> seen;
    int fields = 0;
    for (QWidget* dialog : {static_cast<QWidget*>(&Window()), static_cast<QWidget*>(&Window().NetPage()),
                            static_cast<QWidget*>(&Window().DevPage())}) {
        for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QString name;
            if (auto* combo = qobject_cast<QComboBox*>(w)) name = DropDownName(combo);
            else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) || dynamic_cast<CReportList*>(w))
                name = NameOf(w);
            else
                continue;
            ++fields;
            EXPECT_FALSE(name.isEmpty()) << w->property("controlId").toInt();
            EXPECT_EQ(seen.count(name), 0u) << name.toStdString() << " repeats";
            seen[name] = w->property("controlId").toInt();
        }
    }
    // 2 local-host edits, the list and the info area; 24 + 6 on the network
    // page; 14 edits, 5 drop-downs and 32 limits on the device page.
    EXPECT_EQ(fields, 4 + 30 + 51);
}

TEST_F(AccessibleNames, NamesFollowTheLabels)
{
    struct Case {
        bool devicePage;
        int id;
        const char16_t* name;
    };
    const Case cases[] = {
        {false, 1014, u"服务器1 本地端口"},   {false, 1016, u"服务器1 目标端口"},
        {false, 1027, u"服务器3 目标地址"},   {false, 1045, u"服务器8 目标端口"},
        {false, IDC_NET_IP_ADDRESS, u"静态IP"}, {false, IDC_NET_SUBNET_MASK, u"子网掩码"},
        {false, IDC_NET_IP_MODE, u"IP获取方式"}, {false, IDC_NET_MAX_CONNECTIONS, u"最大连接数量"},
        {false, IDC_NET_MAC, u"MAC地址"},      {true, IDC_DEV_TERMINAL_ADDRESS, u"终端地址"},
        {true, IDC_DEV_SERVER_COUNT, u"服务器数量"}, {true, IDC_DEV_WORK_MODE, u"工作模式"},
        {true, IDC_DEV_PARITY, u"485口校验位"}, {true, 1058, u"1号通道地址"},
        {true, IDC_DEV_DATA_BITS, u"485口数据位"}, {true, IDC_DEV_STOP_BITS, u"485口停止位"},
        {true, 1069, u"1号通道 温度上限"},      {true, 1084, u"8号通道 温度下限"},
        {true, 1093, u"8号通道 湿度上限"},      {true, 1094, u"1号通道 湿度下限"},
    };
    for (const Case& c : cases) {
        QWidget* w = (c.devicePage ? Dev() : Net()).Control(c.id);
        ASSERT_NE(w, nullptr) << c.id;
        EXPECT_EQ(NameOf(w), QString::fromUtf16(c.name)) << c.id;
        // A drop-down by its name whatever it shows (Qt's own interface names it by its
        // text on Unix, and AT-SPI passes that on), the text as its value, its field too.
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            combo->setCurrentIndex(combo->count() - 1);
            EXPECT_EQ(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Value), combo->itemText(combo->count() - 1));
            EXPECT_EQ(DropDownName(combo), QString::fromUtf16(c.name)) << c.id;
        }
    }
}

TEST_F(AccessibleNames, DropDownsWithALabelAreLabelledByIt)
{
    const struct {
        bool devicePage;
        int id;
        const char16_t* label;
    } cases[] = {
        {false, IDC_NET_IP_MODE, u"IP获取方式："},
        {false, IDC_NET_MAX_CONNECTIONS, u"最大连接数量："},
        {true, IDC_DEV_SERVER_COUNT, u"服务器数量"},
        {true, IDC_DEV_WORK_MODE, u"工作模式："},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LabelsOf((c.devicePage ? Dev() : Net()).Control(c.id)), QStringList{QString::fromUtf16(c.label)})
            << c.id;
}

} // namespace
} // namespace vornik::test
