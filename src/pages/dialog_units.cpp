#include "pages/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace vornik {

namespace {

constexpr int DIALOG_FONT_PIXELS = 12; // 9 points at 96 dots per inch

// a * b / c rounded half away from zero, as the dialog manager scales.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

bool Installed(const QStringList& installed, const QString& family)
{
    return installed.contains(family, Qt::CaseInsensitive);
}

QStringList PickFamilies()
{
    const QStringList installed = QFontDatabase::families();
    for (const QString& name : {QStringLiteral(u"宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")})
        if (Installed(installed, name)) return {name};
    // Another Song (Ming) face for the Chinese. Its own Latin letters are as
    // narrow as 宋体's, and at 12 pixels that makes a dialog unit too small
    // for the templates' Chinese labels ("最大连接数量：" needs 84 pixels of
    // 74); a serif Latin face beside it keeps the Song look and widens the
    // units so that every label, button and entry fits.
    const QString song = QStringLiteral("AR PL UMing CN");
    const QString latinSerif = QStringLiteral("DejaVu Serif");
    if (Installed(installed, song) && Installed(installed, latinSerif)) return {latinSerif, song};
    // A Hei face carries both scripts at units wide enough.
    const QString hei = QStringLiteral("WenQuanYi Micro Hei");
    if (Installed(installed, hei)) return {hei};
    if (Installed(installed, song)) return {song};
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (!chinese.isEmpty()) return {chinese.first()};
    return {QStringLiteral(u"宋体")}; // let the font matcher substitute
}

} // namespace

QFont DialogFont()
{
    static const QStringList families = PickFamilies();
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(DIALOG_FONT_PIXELS);
    return font;
}

DialogUnits DialogUnits::FromFont(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int extent = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    units.baseX = (extent / 26 + 1) / 2; // 52 letters, average rounded
    units.baseY = metrics.height();
    return units;
}

int DialogUnits::X(int du) const { return MulDiv(du, baseX, 4); }
int DialogUnits::Y(int du) const { return MulDiv(du, baseY, 8); }

QRect DialogUnits::Map(int x, int y, int width, int height) const
{
    return QRect(X(x), Y(y), X(width), Y(height));
}

} // namespace vornik
