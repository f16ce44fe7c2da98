// Dialog units: the templates place every control in units of the dialog
// font, a quarter of its average letter width across and an eighth of its
// height down, so a layout keeps its proportions whatever the font measures.
#pragma once

#include <QFont>
#include <QRect>

namespace vornik {

// "宋体" at 9 points (12 pixels). Where that face is not installed, another
// Song face for the Chinese (AR PL UMing CN) with a serif face for the Latin
// letters (DejaVu Serif); then WenQuanYi Micro Hei; then any face that
// carries Simplified Chinese.
QFont DialogFont();

struct DialogUnits {
    int baseX = 0; // average width of A..Z a..z, rounded
    int baseY = 0; // font height

    static DialogUnits FromFont(const QFont& font);

    // Each coordinate is scaled on its own, rounded to the nearest pixel.
    int X(int du) const;
    int Y(int du) const;
    QRect Map(int x, int y, int width, int height) const;
};

} // namespace vornik
