// Every static text of the pages, the main window and the about box, with its
// place in dialog units, as the templates give them.
#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include <map>

#include "app/about_dlg.h"
#include "gui_fixture.h"
#include "pages/dialog_builder.h"
#include "pages/dialog_units.h"
#include "pages/group_frame.h"

namespace vornik::test {
namespace {

struct Text {
    const char16_t* text;
    DuRect at;
};

// The labels of a dialog as (text, rectangle) pairs, in any order.
std::multimap<QString, QRect> Labels(QWidget* dialog)
{
    std::multimap<QString, QRect> out;
    for (QLabel* label : dialog->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        // The page's source is no text of the page's own.
        if (!label->text().isEmpty() && !label->property("accessiblePrefix").isValid())
            out.emplace(label->text(), label->geometry());
    return out;
}

std::multimap<QString, QRect> Expected(const DialogUnits& du, const std::vector<Text>& texts)
{
    std::multimap<QString, QRect> out;
    for (const Text& t : texts) out.emplace(QString::fromUtf16(t.text), du.Map(t.at.x, t.at.y, t.at.width, t.at.height));
    return out;
}

void ExpectLabels(QWidget* dialog, const std::vector<Text>& texts)
{
    const auto got = Labels(dialog);
    const auto expected = Expected(DialogUnits::FromFont(dialog->font()), texts);
    EXPECT_EQ(got.size(), expected.size());
    for (const auto& [text, rect] : expected) {
        bool found = false;
        const auto [first, last] = got.equal_range(text);
        for (auto it = first; it != last; ++it) found = found || it->second == rect;
        EXPECT_TRUE(found) << text.toStdString() << " at " << rect.x() << "," << rect.y();
    }
}

using TextsTest = WindowTest;

TEST_F(TextsTest, NetworkPageLabels)
{
    ExpectLabels(&Window().NetPage(),
                 {
                     {u"目标端口：", {5, 17, 45, 9}},   {u"目标地址：", {5, 32, 41, 8}},   {u"本地端口：", {6, 45, 48, 8}},
                     {u"目标端口：", {156, 17, 46, 8}}, {u"目标地址：", {156, 32, 41, 8}}, {u"本地端口：", {156, 45, 45, 8}},
                     {u"目标端口：", {6, 71, 42, 8}},   {u"目标地址：", {6, 86, 43, 8}},   {u"本地端口：", {6, 99, 43, 8}},
                     {u"目标端口：", {155, 71, 47, 8}}, {u"目标地址：", {155, 86, 46, 8}}, {u"本地端口：", {156, 99, 43, 8}},
                     {u"目标端口：", {5, 130, 44, 8}},  {u"目标地址：", {5, 145, 44, 8}},  {u"本地端口：", {6, 158, 45, 8}},
                     {u"目标端口：", {155, 130, 44, 8}}, {u"目标地址：", {155, 145, 45, 8}}, {u"本地端口：", {156, 158, 45, 8}},
                     {u"目标端口：", {5, 188, 43, 8}},  {u"目标地址：", {5, 203, 41, 8}},  {u"本地端口：", {6, 217, 45, 8}},
                     {u"目标端口：", {155, 188, 43, 8}}, {u"目标地址：", {155, 203, 47, 8}}, {u"本地端口：", {156, 217, 44, 8}},
                     {u"静态IP：", {7, 246, 41, 8}},    {u"子网掩码：", {5, 262, 44, 8}},  {u"网关地址：", {6, 277, 42, 8}},
                     {u"IP获取方式：", {149, 246, 50, 8}}, {u"最大连接数量：", {149, 261, 49, 8}},
                     {u"MAC地址：", {149, 277, 47, 8}},
                 });
}

TEST_F(TextsTest, DevicePageLabels)
{
    ExpectLabels(&Window().DevPage(),
                 {
                     {u"服务器数量", {22, 19, 41, 8}},
                     {u"终端地址：", {22, 38, 41, 8}},
                     {u"登陆帧间隔时间：", {21, 58, 65, 8}},
                     {u"心跳包间隔时间：", {21, 77, 65, 8}},
                     {u"主动上送帧间隔时间：", {22, 95, 81, 8}},
                     {u"工作模式：", {22, 114, 41, 8}},
                     {u"485口波特率：", {22, 132, 53, 8}},
                     {u"Modbus终端数量(1-8)：", {7, 162, 85, 8}},
                     {u"1号通道地址：", {39, 180, 53, 8}},
                     {u"2号通道地址：", {39, 195, 53, 8}},
                     {u"3号通道地址：", {39, 212, 53, 8}},
                     {u"4号通道地址：", {39, 228, 53, 8}},
                     {u"5号通道地址：", {39, 244, 53, 8}},
                     {u"6号通道地址：", {39, 260, 53, 8}},
                     {u"7号通道地址：", {39, 276, 53, 8}},
                     {u"8号通道地址：", {39, 292, 53, 8}},
                     {u"秒", {201, 58, 9, 8}},
                     {u"秒", {201, 76, 9, 8}},
                     {u"秒", {201, 93, 9, 8}},
                     {u"温度上限", {146, 161, 36, 12}},
                     {u"温度下限", {182, 161, 36, 12}},
                     {u"湿度上限", {218, 161, 36, 12}},
                     {u"湿度下限", {254, 161, 36, 12}},
                 });
}

TEST_F(TextsTest, MainWindowLabelsAndGroupTitles)
{
    ExpectLabels(&Window(), {{u"设备列表", {12, 52, 56, 8}}, {u"信息提示区", {7, 212, 41, 8}}});

    const struct {
        QWidget* dialog;
        std::vector<QString> titles;
    } groups[] = {
        {&Window(), {QStringLiteral(u"本机信息")}},
        {&Window().NetPage(),
         {QStringLiteral(u"服务器1"), QStringLiteral(u"服务器2"), QStringLiteral(u"服务器3"), QStringLiteral(u"服务器4"),
          QStringLiteral(u"服务器5"), QStringLiteral(u"服务器6"), QStringLiteral(u"服务器7"), QStringLiteral(u"服务器8")}},
        {&Window().DevPage(), {QStringLiteral(u"MODBUS参数")}},
    };
    for (const auto& g : groups) {
        std::vector<QString> titles;
        for (QWidget* w : g.dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (auto* frame = dynamic_cast<CGroupFrame*>(w)) titles.push_back(frame->Title());
        std::sort(titles.begin(), titles.end());
        EXPECT_EQ(titles, g.titles);
    }
}

TEST_F(TextsTest, AboutBox)
{
    CAboutDlg about(&Window());
    EXPECT_EQ(about.windowTitle(), QStringLiteral(u"关于 Vornik多探头 V2.0"));
    const DialogUnits du = DialogUnits::FromFont(about.font());
    EXPECT_EQ(about.size(), QSize(du.X(235), du.Y(55)));
    std::vector<QString> texts;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        texts.push_back(label->text());
        EXPECT_EQ(label->pos(), QPoint(du.X(40), du.Y(10)));
    }
    EXPECT_EQ(texts, std::vector<QString>{QStringLiteral(u"Vornik多探头 V2.0")});
    auto* ok = about.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral(u"确定"));
    EXPECT_EQ(ok->geometry(), du.Map(178, 6, 50, 14));
}

} // namespace
} // namespace vornik::test
