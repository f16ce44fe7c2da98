// Keys on the main window: Enter and Esc never end the run nor press a button
// that lacks the focus, F1 opens the about box, and the window ends only
// through closing it.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include "pages/report_list.h"

#include "app/about_dlg.h"
#include "app/tab_ctrl.h"
#include "gui_fixture.h"
#include "ops/control_ids.h"

namespace vornik::test {
namespace {

using KeysTest = WindowTest;

QList<QPushButton*> AllButtons(CSetupDlg& window)
{
    return window.findChildren<QPushButton*>();
}

TEST_F(KeysTest, NoButtonIsDrawnAsDefault)
{
    for (QPushButton* button : AllButtons(Window())) {
        EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->text().toStdString();
    }
    // Not after a button had the focus either.
    auto* search = Main<QPushButton>(IDC_SEARCH);
    search->setFocus();
    Net<QLineEdit>(IDC_NET_GATEWAY)->setFocus();
    for (QPushButton* button : AllButtons(Window())) EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
}

TEST_F(KeysTest, EnterAndEscapeLeaveTheWindowAndTheTypedValuesAlone)
{
    struct Case {
        const char* where;
        std::function<QWidget*()> widget;
        bool devicePage;
    };
    const std::vector<Case> cases = {
        {"network page edit", [&] { return Net().Control(IDC_NET_GATEWAY); }, false},
        {"local address", [&] { return Main().Control(IDC_LOCAL_IP); }, false},
        {"device list", [&] { return static_cast<QWidget*>(&Window().DeviceList()); }, false},
        {"info area", [&] { return Main().Control(IDC_INFO); }, false},
        {"tab bar", [&] { return static_cast<QWidget*>(Window().Tab().Bar()); }, false},
        {"network drop-down", [&] { return Net<QComboBox>(IDC_NET_MAX_CONNECTIONS)->lineEdit(); }, false},
        {"device page edit", [&] { return Dev().Control(IDC_DEV_BAUD_RATE); }, true},
        {"device drop-down", [&] { return Dev<QComboBox>(IDC_DEV_PARITY)->lineEdit(); }, true},
    };
    // A button that had the focus earlier must not take Enter later.
    Net<QPushButton>(IDC_NET_WRITE_MAC)->setFocus();
    Net<QLineEdit>(IDC_NET_GATEWAY)->setText(QStringLiteral("10.0.0.1"));
    const std::string log = State().InfoLog;
    ModalWatcher watcher;
    for (const Case& c : cases) {
        Window().Tab().SetCurSel(c.devicePage ? 1 : 0);
        Settle();
        QWidget* target = c.widget();
        target->setFocus();
        for (const auto& [key, modifiers] : std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>{
                 {Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}, {Qt::Key_Escape, Qt::NoModifier}}) {
            QTest::keyClick(target, key, modifiers);
            Settle();
            EXPECT_TRUE(Window().isVisible()) << c.where << " key " << key;
        }
    }
    EXPECT_EQ(State().InfoLog, log); // no operation ran
    EXPECT_TRUE(watcher.Dialogs().empty());
    EXPECT_EQ(Net().GetText(IDC_NET_GATEWAY), "10.0.0.1");
}

TEST_F(KeysTest, EnterOnAFocusedButtonPressesIt)
{
    State().TargetMac = {0x02, 0, 0, 0, 0, 0x01}; // chosen: the MAC text is what is refused
    Net<QLineEdit>(IDC_NET_MAC)->setText(QStringLiteral("not a MAC"));
    auto* writeMac = Net<QPushButton>(IDC_NET_WRITE_MAC);
    writeMac->setFocus();
    QTest::keyClick(writeMac, Qt::Key_Return);
    Settle();
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("不合格的MAC地址格式!!!\r\n"));
    EXPECT_TRUE(Window().isVisible());
}

// As the guide says: the menu, whose last item is the about box.
TEST_F(KeysTest, F1OpensTheMenuFromAnyControl)
{
    for (QWidget* target : {Net().Control(IDC_NET_GATEWAY), Main().Control(IDC_INFO),
                            static_cast<QWidget*>(&Window().DeviceList())}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_F1);
        EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }))
            << target->metaObject()->className();
        EXPECT_EQ(QApplication::activePopupWidget(), Window().SystemMenu());
        Window().SystemMenu()->close();
        EXPECT_TRUE(Window().isVisible());
    }
}

TEST_F(KeysTest, AboutBoxKeepsItsDefaultButtonAndClosesOnEnterAndEscape)
{
    for (const auto& [key, result] : std::vector<std::pair<Qt::Key, int>>{{Qt::Key_Return, QDialog::Accepted},
                                                                          {Qt::Key_Escape, QDialog::Rejected}}) {
        CAboutDlg about(&Window());
        about.show();
        auto* ok = about.findChild<QPushButton*>();
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        EXPECT_EQ(ok->text(), QStringLiteral(u"确定"));
        QTest::keyClick(&about, key);
        EXPECT_FALSE(about.isVisible()) << key;
        EXPECT_EQ(about.result(), result) << key;
    }
}

TEST_F(KeysTest, TheCloseItemEndsTheRun)
{
    QAction* close = nullptr;
    for (QAction* action : Window().SystemMenu()->actions())
        if (action->text() == QStringLiteral(u"关闭(&C)")) close = action;
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
    close->trigger();
    EXPECT_FALSE(Window().isVisible());
}

} // namespace
} // namespace vornik::test
