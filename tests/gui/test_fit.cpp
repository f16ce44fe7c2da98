// Every text of the window fits the room its control gives it, in whatever
// dialog font this machine has: labels, buttons (beside the icon where there
// is one), every entry of each drop-down, and the device list filled with the
// widest values a device can report.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include "pages/report_list.h"

#include "app/tab_ctrl.h"
#include "controls/CIconButton.h"
#include "gui_fixture.h"
#include "hex.h"
#include "ops/control_ids.h"

namespace vornik::test {
namespace {

// The icon buttons load their icons at 25 pixels, drawn at an even 24.
constexpr int kIconButtonImage = 24;
// QLineEdit keeps this much clear on each side of its text.
constexpr int kLineEditTextMargin = 2;

class FitTest : public WindowTest {
protected:
    // Each dialog as it is drawn, so that every geometry is final.
    void Render()
    {
        Window().Tab().SetCurSel(0);
        Settle();
        EXPECT_FALSE(Window().grab().isNull());
        Window().Tab().SetCurSel(1);
        Settle();
        EXPECT_FALSE(Window().DevPage().grab().isNull());
        Window().Tab().SetCurSel(0);
        Settle();
    }

    std::vector<QWidget*> Dialogs()
    {
        return {&Window(), &Window().NetPage(), &Window().DevPage()};
    }

    int ButtonRoom(QPushButton* button)
    {
        for (int i = 0; i < 2; ++i)
            if (CIconButton* face = Window().IconButton(i); face && face->Button() == button)
                // The caption is centred right of the image and its margin, inside the 3-D edge.
                return button->width() - kIconButtonImage - face->ImageMargin() - 2;
        QStyleOptionButton option;
        option.initFrom(button);
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    }
};

TEST_F(FitTest, LabelsAndButtonsFit)
{
    Render();
    for (QWidget* dialog : Dialogs()) {
        for (QLabel* label : dialog->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            const QFontMetrics metrics(label->font());
            // A label of two lines (a page's source) is as wide as its wider line.
            for (const QString& line : label->text().split(QLatin1Char('\n')))
                EXPECT_LE(metrics.horizontalAdvance(line), label->contentsRect().width()) << line.toStdString();
        }
        for (QPushButton* button : dialog->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
            const QFontMetrics metrics(button->font());
            EXPECT_LE(metrics.horizontalAdvance(button->text()), ButtonRoom(button)) << button->text().toStdString();
        }
    }
    // The tabs too.
    QTabBar* tabs = Window().Tab().Bar();
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_LE(QFontMetrics(tabs->font()).horizontalAdvance(tabs->tabText(i)), tabs->tabRect(i).width())
            << tabs->tabText(i).toStdString();
}

TEST_F(FitTest, EveryDropDownEntryFitsItsField)
{
    Render();
    for (QWidget* dialog : Dialogs()) {
        for (QComboBox* combo : dialog->findChildren<QComboBox*>(Qt::FindDirectChildrenOnly)) {
            ASSERT_NE(combo->lineEdit(), nullptr);
            const int room = combo->lineEdit()->width() - 2 * kLineEditTextMargin;
            const QFontMetrics metrics(combo->lineEdit()->font());
            for (int i = 0; i < combo->count(); ++i)
                EXPECT_LE(metrics.horizontalAdvance(combo->itemText(i)), room)
                    << combo->property("controlId").toInt() << " " << combo->itemText(i).toStdString();
        }
    }
}

TEST_F(FitTest, DeviceListShowsTheWidestValuesWhole)
{
    CReportList& list = Window().DeviceList();
    const QFontMetrics metrics(list.font());
    // The widest hex digit, twelve times, in the MAC column.
    const QString digits = QStringLiteral("0123456789ABCDEF");
    int widest = 0;
    for (int i = 1; i < digits.size(); ++i)
        if (metrics.horizontalAdvance(digits[i]) > metrics.horizontalAdvance(digits[widest])) widest = i;
    std::vector<uint8_t> reply = Hex("55 00 11 02 00 00 00 00 FF FF FF FF");
    reply.insert(reply.end(), 6, uint8_t(widest * 0x11));
    reply.insert(reply.end(), {0xFF, 0xFF, 0x00}); // firmware 65535
    Deliver(reply);
    ASSERT_TRUE(WaitFor([&] { return list.RowCount() == 1; }));
    Render();

    QStyleOption option;
    option.initFrom(&list);
    const int cellMargin = list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, &list) + 1;
    const int headerMargin = list.style()->pixelMetric(QStyle::PM_HeaderMargin, &option, list.header());
    for (int column = 0; column < list.model()->columnCount(); ++column) {
        const QString cell = list.model()->index(0, column).data().toString();
        EXPECT_LE(metrics.horizontalAdvance(cell) + 2 * cellMargin, list.columnWidth(column)) << cell.toStdString();
        const QString heading = list.model()->headerData(column, Qt::Horizontal).toString();
        EXPECT_LE(QFontMetrics(list.header()->font()).horizontalAdvance(heading) + 2 * headerMargin,
                  list.columnWidth(column))
            << heading.toStdString();
    }
    EXPECT_EQ(list.model()->index(0, COL_DEVICE_IP).data().toString(), QStringLiteral("255.255.255.255"));
    EXPECT_EQ(list.model()->index(0, COL_FIRMWARE).data().toString(), QStringLiteral("65535"));
}

} // namespace
} // namespace vornik::test
