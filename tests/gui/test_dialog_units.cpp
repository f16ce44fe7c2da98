// Dialog units to pixels, worked by hand for the two fonts the window meets.
#include <QFontMetrics>

#include <cmath>

#include <gtest/gtest.h>

#include "pages/dialog_units.h"

namespace vornik {
namespace {

struct MapCase {
    int baseX, baseY;
    int x, y, width, height;
    QRect pixels;
};

TEST(DialogUnits, ScaleEachCoordinateRoundingHalfAway)
{
    const MapCase cases[] = {
        // 宋体 at 12 pixels: letters 6 wide, 12 high. 579 * 6 / 4 = 868.5 -> 869.
        {6, 12, 0, 0, 579, 366, QRect(0, 0, 869, 549)},
        // A face with letters 7 wide and 14 high: 366 * 14 / 8 = 640.5 -> 641.
        {7, 14, 0, 0, 579, 366, QRect(0, 0, 1013, 641)},
        // The search button: 157 * 7 / 4 = 274.75, 22 * 14 / 8 = 38.5, 77 * 7 / 4 = 134.75, 21 * 14 / 8 = 36.75.
        {7, 14, 157, 22, 77, 21, QRect(275, 39, 135, 37)},
        // Position and size round apart: 1 * 6 / 4 = 1.5 -> 2 for both.
        {6, 12, 1, 1, 1, 1, QRect(2, 2, 2, 2)},
    };
    for (const MapCase& c : cases) {
        DialogUnits du;
        du.baseX = c.baseX;
        du.baseY = c.baseY;
        EXPECT_EQ(du.Map(c.x, c.y, c.width, c.height), c.pixels) << c.baseX << "x" << c.baseY << " at " << c.x;
    }
}

TEST(DialogUnits, BaseUnitsComeFromTheFont)
{
    const QFont font = DialogFont();
    EXPECT_EQ(font.pixelSize(), 12);
    const DialogUnits du = DialogUnits::FromFont(font);
    const QFontMetrics metrics(font);
    EXPECT_EQ(du.baseY, metrics.height());
    // Rounded average over the 52 letters, within half a pixel.
    const double average =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    EXPECT_LE(std::abs(du.baseX - average), 0.5 + 1e-9);
}

TEST(DialogUnits, FontCarriesChinese)
{
    // Whatever face stands in for 宋体 must draw the captions.
    const QFontMetrics metrics(DialogFont());
    for (QChar c : QStringLiteral(u"网络参数设备搜索"))
        EXPECT_TRUE(metrics.inFontUcs4(c.unicode())) << int(c.unicode());
}

} // namespace
} // namespace vornik
