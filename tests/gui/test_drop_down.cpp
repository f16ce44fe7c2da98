// The editable drop-downs: what the field shows is the entry a write sends.
#include <QAccessible>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>

#include "app/tab_ctrl.h"
#include "gui_fixture.h"
#include "ops/control_ids.h"

namespace vornik::test {
namespace {

class DropDownTest : public WindowTest {
protected:
    struct Box {
        bool devicePage;
        int id;
        QString other;   // an entry that is not selected at start-up
        QString unknown; // text that names no entry, nor does any of its beginnings
    };

    static const std::vector<Box>& Boxes()
    {
        static const std::vector<Box> boxes = {
            {false, IDC_NET_IP_MODE, QStringLiteral("DHCP/autoIP"), QStringLiteral("DHCP")},
            {false, IDC_NET_MAX_CONNECTIONS, QStringLiteral("3"), QStringLiteral("99")},
            {true, IDC_DEV_SERVER_COUNT, QStringLiteral("0"), QStringLiteral("9")},
            {true, IDC_DEV_WORK_MODE, QStringLiteral(u"0-5V温湿度变送器"), QStringLiteral(u"温湿度")},
            {true, IDC_DEV_DATA_BITS, QStringLiteral("7"), QStringLiteral("4")},
            {true, IDC_DEV_PARITY, QStringLiteral("EVEN"), QStringLiteral("XYZ")},
            {true, IDC_DEV_STOP_BITS, QStringLiteral("2"), QStringLiteral("3")},
        };
        return boxes;
    }

    QtControlOps& Page(const Box& b) { return b.devicePage ? Dev() : Net(); }
    QComboBox* Combo(const Box& b) { return qobject_cast<QComboBox*>(Page(b).Control(b.id)); }

    // Replaces the field's text by typing, as a user does.
    void Type(const Box& b, const QString& text)
    {
        Window().Tab().SetCurSel(b.devicePage ? 1 : 0);
        Settle();
        QComboBox* combo = Combo(b);
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        bool ascii = true;
        for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
        if (ascii) {
            QTest::keyClicks(combo->lineEdit(), text);
        } else {
            // Chinese arrives through the input method, committed at once.
            QInputMethodEvent typed;
            typed.setCommitString(text);
            QApplication::sendEvent(combo->lineEdit(), &typed);
        }
    }
};

TEST_F(DropDownTest, TypingAnEntrySelectsItAtOnce)
{
    for (const Box& b : Boxes()) {
        QComboBox* combo = Combo(b);
        ASSERT_NE(combo, nullptr) << b.id;
        Type(b, b.other);
        EXPECT_EQ(combo->currentText(), b.other) << b.id; // still focused, nothing committed
        EXPECT_EQ(combo->currentIndex(), combo->findText(b.other)) << b.id;
        EXPECT_EQ(combo->lineEdit()->cursorPosition(), b.other.size()) << b.id; // the caret stays at the end
    }
}

TEST_F(DropDownTest, TextNamingNoEntryIsPutBackWhenTheFieldLosesTheFocus)
{
    for (const Box& b : Boxes()) {
        QComboBox* combo = Combo(b);
        const int selected = combo->currentIndex();
        Type(b, b.unknown);
        EXPECT_EQ(combo->lineEdit()->text(), b.unknown) << b.id;
        // The focus leaves for another control of the same page.
        QWidget* other = Page(b).Control(b.devicePage ? IDC_DEV_BAUD_RATE : IDC_NET_MAC);
        other->setFocus();
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(combo, &out);
        EXPECT_EQ(combo->currentIndex(), selected) << b.id;
        EXPECT_EQ(combo->lineEdit()->text(), combo->itemText(selected)) << b.id;
    }
}

TEST_F(DropDownTest, TextNamingNoEntryIsPutBackOnEnterAndBeforeTheSelectionIsRead)
{
    for (const Box& b : Boxes()) {
        QComboBox* combo = Combo(b);
        const int selected = combo->currentIndex();
        const std::string selectedText = Page(b).GetText(b.id);

        // Return, Enter and the keypad's Enter alike.
        for (auto [key, modifiers] : {std::pair{Qt::Key_Return, Qt::KeyboardModifiers()},
                                      {Qt::Key_Enter, Qt::KeyboardModifiers()}, {Qt::Key_Enter, Qt::KeypadModifier}}) {
            Type(b, b.unknown);
            QTest::keyClick(combo->lineEdit(), key, modifiers);
            EXPECT_EQ(combo->lineEdit()->text(), combo->itemText(selected)) << b.id << " key " << key << " " << modifiers;
        }

        Type(b, b.unknown);
        EXPECT_EQ(Page(b).GetSel(b.id), selected) << b.id;
        EXPECT_EQ(combo->lineEdit()->text(), combo->itemText(selected)) << b.id;
        Type(b, b.unknown);
        EXPECT_EQ(Page(b).GetText(b.id), selectedText) << b.id;
    }
}

TEST_F(DropDownTest, TypedTextNamesAnEntryInAnyCaseAndSettlesToIt)
{
    const struct {
        size_t box;
        const char *typed, *entry;
    } cases[] = {{5, "none", "NONE"}, {5, "eVeN", "EVEN"}, {0, "dhcp/autoip", "DHCP/autoIP"},
                 {3, "0-10MA温湿度变送器", "0-10mA温湿度变送器"}};
    for (const auto& c : cases) {
        QComboBox* combo = Combo(Boxes()[c.box]);
        Type(Boxes()[c.box], QString::fromUtf8(c.typed));
        EXPECT_EQ(combo->itemText(Page(Boxes()[c.box]).GetSel(Boxes()[c.box].id)), QString::fromUtf8(c.entry)) << c.typed;
        EXPECT_EQ(combo->lineEdit()->text(), QString::fromUtf8(c.entry)) << c.typed; // what a write sends
    }
}

TEST_F(DropDownTest, TypingPassesThroughTheEntriesItsBeginningsName)
{
    // "12" names no entry, but its "1" did on the way: that stays chosen, and shown.
    const Box& connections = Boxes()[1];
    Type(connections, QStringLiteral("12"));
    EXPECT_EQ(Net().GetSel(IDC_NET_MAX_CONNECTIONS), 1);
    EXPECT_EQ(Net().GetText(IDC_NET_MAX_CONNECTIONS), "1");
}

TEST_F(DropDownTest, TypingDhcpAppliesTheAddressModeRuleAsChoosingItDoes)
{
    const Box& mode = Boxes()[0];
    Type(mode, QStringLiteral("DHCP/autoIP"));
    for (int id : {IDC_NET_IP_ADDRESS, IDC_NET_SUBNET_MASK, IDC_NET_GATEWAY})
        EXPECT_FALSE(Net().Control(id)->isEnabled()) << id;
    Type(mode, QStringLiteral("StaticIP"));
    for (int id : {IDC_NET_IP_ADDRESS, IDC_NET_SUBNET_MASK, IDC_NET_GATEWAY})
        EXPECT_TRUE(Net().Control(id)->isEnabled()) << id;
}

} // namespace
} // namespace vornik::test
