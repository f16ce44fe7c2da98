// The control operations on bare widgets: what the logic sees of each kind.
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include "pages/report_list.h"

#include "gui_fixture.h"
#include "pages/qt_control_ops.h"

namespace vornik::test {
namespace {

class ControlOpsTest : public ::testing::Test {
protected:
    ControlOpsTest() : m_ops(&m_dialog)
    {
        m_edit = new QLineEdit(&m_dialog);
        m_combo = new QComboBox(&m_dialog);
        m_combo->setEditable(true);
        m_combo->addItems({"StaticIP", "DHCP/autoIP"});
        m_area = new QPlainTextEdit(&m_dialog);
        m_area->resize(200, 60);
        m_list = new CReportList(&m_dialog);
        m_list->setHeaderLabels({"a", "b", "c", "d"});
        m_button = new QPushButton(QStringLiteral("x"), &m_dialog);
        m_ops.RegisterControl(1, m_edit);
        m_ops.RegisterControl(2, m_combo);
        m_ops.RegisterControl(3, m_area);
        m_ops.RegisterControl(4, m_list);
        m_ops.RegisterControl(5, m_button);
        m_dialog.show();
    }

    QWidget m_dialog;
    QtControlOps m_ops;
    QLineEdit* m_edit;
    QComboBox* m_combo;
    QPlainTextEdit* m_area;
    CReportList* m_list;
    QPushButton* m_button;
};

TEST_F(ControlOpsTest, ControlsCarryTheirIds)
{
    EXPECT_EQ(m_edit->property("controlId").toInt(), 1);
    EXPECT_EQ(m_button->property("controlId").toInt(), 5);
    EXPECT_EQ(m_ops.Control(5), m_button);
    EXPECT_EQ(m_ops.Control(99), nullptr);
}

TEST_F(ControlOpsTest, TypedTextCodePage936CannotHoldIsToldApart)
{
    const struct {
        const char* what;
        QString typed;
        bool fits;
    } rows[] = {
        {"Chinese 936 holds", QStringLiteral(u"服务器.cn"), true},
        {"a Hungarian letter", QStringLiteral(u"szerver-ő.hu"), false},
        {"an emoji", QStringLiteral(u"80\U0001F600"), false},
        {"empty", QString(), true},
    };
    for (const auto& row : rows) {
        m_edit->setText(row.typed);
        m_combo->setEditText(row.typed);
        EXPECT_EQ(m_ops.TextFits936(1), row.fits) << row.what;
        EXPECT_EQ(m_ops.TextFits936(2), row.fits) << row.what;
    }
    // Controls that take no typing, and ids of none, fit.
    EXPECT_TRUE(m_ops.TextFits936(5));
    EXPECT_TRUE(m_ops.TextFits936(99));
}

TEST_F(ControlOpsTest, TextsCrossAsCodePage936)
{
    // 搜索 in code page 936 is CB D1 CB F7.
    m_ops.SetText(1, "\xcb\xd1\xcb\xf7");
    EXPECT_EQ(m_edit->text(), QStringLiteral(u"搜索"));
    m_edit->setText(QStringLiteral(u"设备A"));
    EXPECT_EQ(m_ops.GetText(1), "\xc9\xe8\xb1\xb8"
                                "A");
    // A character the code page lacks cannot cross unchanged.
    m_edit->setText(QStringLiteral(u"\u00e9"));
    EXPECT_NE(m_ops.GetText(1), "\xc3\xa9");
    EXPECT_EQ(m_ops.GetText(99), "");
}

TEST_F(ControlOpsTest, ListSelectionOutsideTheEntriesSelectsNothing)
{
    const struct {
        int index;
        int selected;
    } cases[] = {{1, 1}, {0, 0}, {-1, -1}, {2, -1}, {100, -1}};
    for (const auto& c : cases) {
        m_ops.SetSel(2, 0);
        m_ops.SetSel(2, c.index);
        EXPECT_EQ(m_ops.GetSel(2), c.selected) << c.index;
    }
    m_ops.SetSel(2, -1);
    EXPECT_EQ(m_combo->currentText(), ""); // no entry, no text
}

TEST_F(ControlOpsTest, EnableGreysOut)
{
    m_ops.Enable(1, false);
    EXPECT_FALSE(m_edit->isEnabled());
    m_ops.Enable(1, true);
    EXPECT_TRUE(m_edit->isEnabled());
}

// A device row told by its address (10.0.0.n) and MAC (02-00-00-00-00-0n).
DeviceRow Device(uint8_t n) { return DeviceRow{0x0A000000u + n, {0x02, 0, 0, 0, 0, n}, uint16_t(n), 0, 0, 0}; }

TEST_F(ControlOpsTest, ReportRows)
{
    EXPECT_EQ(m_ops.FirstSelectedRow(4), -1);
    m_ops.InsertDeviceRow(4, 0, Device(1));
    m_ops.InsertDeviceRow(4, 0, Device(2));  // on top
    m_ops.InsertDeviceRow(4, 99, Device(3)); // past the end: appended
    m_ops.SetCell(4, 0, 1, "named");
    m_ops.SetCell(4, 7, 1, "nowhere"); // no such row: ignored
    ASSERT_EQ(m_list->RowCount(), 3);
    const char* top[] = {"10.0.0.2", "named", "020000000002", "2"};
    for (int column = 0; column < 4; ++column) EXPECT_EQ(m_ops.GetCell(4, 0, column), top[column]) << column;
    EXPECT_EQ(m_ops.GetCell(4, 1, 0), "10.0.0.1");
    EXPECT_EQ(m_ops.GetCell(4, 2, 0), "10.0.0.3");
    EXPECT_EQ(m_ops.DeviceRowAt(4, 2)->mac[5], 3);
    EXPECT_EQ(m_ops.GetCell(4, 5, 0), "");
    EXPECT_FALSE(m_ops.DeviceRowAt(4, 3).has_value());
    m_list->setCurrentIndex(m_list->model()->index(1, 0));
    EXPECT_EQ(m_ops.FirstSelectedRow(4), 1);
    m_ops.ClearRows(4);
    EXPECT_EQ(m_list->RowCount(), 0);
    EXPECT_EQ(m_ops.FirstSelectedRow(4), -1);
    EXPECT_FALSE(m_ops.DeviceRowAt(4, 0).has_value());
}

TEST_F(ControlOpsTest, RowsOnTopAreGatheredAndShownInOneStep)
{
    int steps = 0;
    QObject::connect(m_list->model(), &QAbstractItemModel::rowsInserted, [&] { ++steps; });
    m_ops.InsertDeviceRow(4, 0, Device(1));
    m_ops.FlushPending();
    m_list->setCurrentIndex(m_list->model()->index(0, 0));
    ASSERT_EQ(m_ops.FirstSelectedRow(4), 0);
    for (uint8_t n : {2, 3, 4}) {
        m_ops.InsertDeviceRow(4, 0, Device(n));
        m_ops.SetCell(4, 0, 1, "name" + std::to_string(n));
    }
    // The logic sees the new rows at once; the view after the step.
    EXPECT_EQ(m_ops.GetCell(4, 0, 0), "10.0.0.4");
    EXPECT_EQ(m_ops.GetCell(4, 2, 1), "name2");
    EXPECT_EQ(m_ops.DeviceRowAt(4, 2)->mac[5], 2);
    EXPECT_EQ(m_ops.GetCell(4, 3, 0), "10.0.0.1");
    EXPECT_EQ(m_list->RowCount(), 1);
    EXPECT_EQ(m_ops.FirstSelectedRow(4), 3); // the selected row, as the logic numbers it
    m_ops.FlushPending();
    EXPECT_EQ(steps, 2);
    ASSERT_EQ(m_list->RowCount(), 4);
    EXPECT_EQ(m_list->model()->index(0, 1).data().toString(), QStringLiteral("name4"));
    EXPECT_EQ(m_list->model()->index(3, 0).data().toString(), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(m_ops.FirstSelectedRow(4), 3);
}

TEST_F(ControlOpsTest, AppendedTailsMakeTheWholeTextEvenAfterTyping)
{
    m_ops.SetText(3, "one\r\n");
    m_ops.AppendText(3, "two\r\n");
    m_ops.FlushPending();
    EXPECT_EQ(m_ops.GetText(3), "one\r\ntwo\r\n");
    m_area->moveCursor(QTextCursor::Start);
    m_area->insertPlainText(QStringLiteral("typed "));
    m_ops.AppendText(3, "three\r\n");
    m_ops.AppendText(3, "four\r\n");
    m_ops.FlushPending();
    EXPECT_EQ(m_ops.GetText(3), "one\r\ntwo\r\nthree\r\nfour\r\n");
}

TEST_F(ControlOpsTest, MultiLineTextArrivesOnceTheLoopIsFree)
{
    m_ops.SetText(3, "one\r\n");
    m_ops.SetText(3, "one\r\ntwo\r\n");
    EXPECT_EQ(m_area->toPlainText(), ""); // nothing yet: the loop has not run
    QCoreApplication::processEvents();
    EXPECT_EQ(m_area->toPlainText(), "one\ntwo\n");
    EXPECT_EQ(m_ops.GetText(3), "one\r\ntwo\r\n");
}

TEST_F(ControlOpsTest, ReadingTheAreaShowsTheLatestText)
{
    m_ops.SetText(3, "abc\r\n");
    EXPECT_EQ(m_ops.GetText(3), "abc\r\n");
}

TEST_F(ControlOpsTest, AreaFollowsTheEndOfALongText)
{
    std::string log;
    for (int i = 0; i < 200; ++i) {
        log += "line " + std::to_string(i) + "\r\n";
        m_ops.SetText(3, log);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(m_ops.GetText(3), log);
    EXPECT_EQ(m_area->textCursor().position(), m_area->document()->characterCount() - 1);
    EXPECT_EQ(m_area->verticalScrollBar()->value(), m_area->verticalScrollBar()->maximum());
    EXPECT_GT(m_area->verticalScrollBar()->maximum(), 0);
}

TEST_F(ControlOpsTest, NewTextReplacesWhatTheUserTyped)
{
    m_ops.SetText(3, "first\r\n");
    QCoreApplication::processEvents();
    m_area->setFocus();
    QTest::keyClicks(m_area, "TYPED");
    m_ops.SetText(3, "first\r\nsecond\r\n");
    QCoreApplication::processEvents();
    EXPECT_EQ(m_ops.GetText(3), "first\r\nsecond\r\n");
}

TEST_F(ControlOpsTest, ShorterOrDifferentTextReplacesTheWhole)
{
    for (const char* text : {"alpha\r\nbeta\r\n", "alpha\r\n", "", "gamma\r\n", "gamma\r\ndelta"}) {
        m_ops.SetText(3, text);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_ops.GetText(3), text);
    }
}

TEST_F(ControlOpsTest, MessageBoxHasTheProgramNameUnlessCaptioned)
{
    ModalWatcher watcher;
    m_ops.MessageBox("\xcc\xe1\xca\xbe"); // 提示
    m_ops.MessageBox("text", "\xcc\xe1\xca\xbe", MessageIcon::Exclamation);
    ASSERT_EQ(watcher.Dialogs().size(), 2u);
    EXPECT_EQ(watcher.Dialogs()[0].title, "Vornik_Setup");
    EXPECT_EQ(watcher.Dialogs()[0].text, QStringLiteral(u"提示"));
    EXPECT_EQ(watcher.Dialogs()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(watcher.Dialogs()[0].parent, &m_dialog);
    EXPECT_EQ(watcher.Dialogs()[1].title, QStringLiteral(u"提示"));
    EXPECT_EQ(watcher.Dialogs()[1].icon, QMessageBox::Warning);
}

TEST_F(ControlOpsTest, MessageBoxShowsTheCurrentLogBehindIt)
{
    m_ops.SetText(3, "before the box\r\n");
    ModalWatcher watcher;
    QString behind;
    QTimer::singleShot(0, [&] { behind = m_area->toPlainText(); });
    m_ops.MessageBox("x");
    EXPECT_EQ(behind, "before the box\n");
}

} // namespace
} // namespace vornik::test
