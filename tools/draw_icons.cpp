// Draws the program's icons and writes them as PNG files into the directory
// given as the only argument (normally res/icons):
//   128-program.png    48 x 48  thermometer with a water droplet (window, about box, desktop)
//   133-floppy.png     45 x 43  floppy disk (the "write parameters" button)
//   135-connector.png  54 x 53  connector with a green incoming arrow ("load defaults")
//   hicolor/NxN/apps/vornik-setup.png  the program icon at the sizes desktops
//                      look for (48, 64, 128, 256), for installation
// The buttons load 133 and 135 stretched to 25 x 25, so the shapes are kept
// bold and few. Nothing here draws text, so no font is involved and the
// output is the same on every machine with the same Qt.
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

QImage NewImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// Drawn on a 48-unit grid and scaled, so that every size shows the same picture.
QImage DrawProgramIcon(int size = 48)
{
    QImage image = NewImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);

    // Thermometer: glass tube with a bulb, red column.
    QPainterPath glass;
    glass.addRoundedRect(QRectF(9.5, 3.5, 11, 32), 5.5, 5.5);
    glass.addEllipse(QPointF(15, 37.5), 8, 8);
    glass = glass.simplified();
    QLinearGradient glassFill(9, 0, 23, 0);
    glassFill.setColorAt(0, QColor(0xF4, 0xF8, 0xFC));
    glassFill.setColorAt(1, QColor(0xC9, 0xD6, 0xE3));
    p.setPen(QPen(QColor(0x4A, 0x55, 0x63), 1.6));
    p.setBrush(glassFill);
    p.drawPath(glass);

    QLinearGradient redFill(10, 0, 20, 0);
    redFill.setColorAt(0, QColor(0xF0, 0x4A, 0x3A));
    redFill.setColorAt(1, QColor(0xB8, 0x1E, 0x14));
    p.setPen(Qt::NoPen);
    p.setBrush(redFill);
    p.drawRoundedRect(QRectF(12.5, 14, 5, 24), 2.5, 2.5);
    p.drawEllipse(QPointF(15, 37.5), 5.5, 5.5);
    // Highlight on the bulb.
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QPointF(13, 35.5), 1.6, 1.6);

    // Scale marks on the tube's right.
    p.setPen(QPen(QColor(0x4A, 0x55, 0x63), 1.2));
    for (int i = 0; i < 5; ++i) {
        const qreal y = 8 + i * 5;
        p.drawLine(QPointF(20.5, y), QPointF(i % 2 ? 23 : 25, y));
    }

    // Droplet for humidity.
    QPainterPath drop;
    drop.moveTo(36, 12);
    drop.cubicTo(38, 17, 44.5, 23, 44.5, 29);
    drop.cubicTo(44.5, 34, 40.7, 37.5, 36, 37.5);
    drop.cubicTo(31.3, 37.5, 27.5, 34, 27.5, 29);
    drop.cubicTo(27.5, 23, 34, 17, 36, 12);
    drop.closeSubpath();
    QLinearGradient blueFill(28, 14, 44, 38);
    blueFill.setColorAt(0, QColor(0x7C, 0xC4, 0xF5));
    blueFill.setColorAt(1, QColor(0x1B, 0x6F, 0xC2));
    p.setPen(QPen(QColor(0x14, 0x4E, 0x8C), 1.4));
    p.setBrush(blueFill);
    p.drawPath(drop);
    p.setPen(QPen(QColor(255, 255, 255, 190), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(30.5, 24, 8, 10), 150 * 16, 70 * 16);
    return image;
}

QImage DrawFloppy()
{
    QImage image = NewImage(45, 43);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Body with the cut corner at the top right.
    QPainterPath body;
    body.moveTo(3.5, 2.5);
    body.lineTo(36.5, 2.5);
    body.lineTo(41.5, 7.5);
    body.lineTo(41.5, 39);
    body.quadTo(41.5, 40.5, 40, 40.5);
    body.lineTo(5, 40.5);
    body.quadTo(3.5, 40.5, 3.5, 39);
    body.closeSubpath();
    QLinearGradient blue(0, 2, 0, 41);
    blue.setColorAt(0, QColor(0x3B, 0x63, 0xB0));
    blue.setColorAt(1, QColor(0x1E, 0x3C, 0x7A));
    p.setPen(QPen(QColor(0x12, 0x24, 0x4D), 1.4));
    p.setBrush(blue);
    p.drawPath(body);

    // Metal shutter with its window.
    p.setPen(QPen(QColor(0x5C, 0x63, 0x6B), 1));
    p.setBrush(QColor(0xC8, 0xCE, 0xD4));
    p.drawRect(QRectF(11.5, 2.5, 21, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2A, 0x2F, 0x36));
    p.drawRect(QRectF(25, 4.5, 4.5, 9));

    // Paper label with writing lines.
    p.setPen(QPen(QColor(0x8A, 0x93, 0x9E), 1));
    p.setBrush(QColor(0xFA, 0xFA, 0xF7));
    p.drawRoundedRect(QRectF(8.5, 21.5, 28, 19), 1.5, 1.5);
    p.setPen(QPen(QColor(0xE0, 0x55, 0x4A), 1.6));
    p.drawLine(QPointF(9.5, 25.5), QPointF(35.5, 25.5));
    p.setPen(QPen(QColor(0x9C, 0xB4, 0xD6), 1.2));
    for (qreal y : {30.5, 34.5})
        p.drawLine(QPointF(12, y), QPointF(33, y));
    return image;
}

QImage DrawConnector()
{
    QImage image = NewImage(54, 53);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Cable leaving to the right.
    p.setPen(QPen(QColor(0x2E, 0x33, 0x38), 1.2));
    p.setBrush(QColor(0x55, 0x5C, 0x64));
    p.drawRoundedRect(QRectF(40, 22.5, 14.5, 9), 2, 2);

    // Contacts sticking out of the plug's face.
    p.setPen(QPen(QColor(0x7A, 0x5A, 0x10), 1));
    p.setBrush(QColor(0xE8, 0xBE, 0x3A));
    for (qreal y : {16.5, 24.5, 32.5})
        p.drawRect(QRectF(17.5, y, 9, 5));

    // Plug body.
    QLinearGradient metal(0, 9, 0, 45);
    metal.setColorAt(0, QColor(0xE6, 0xE9, 0xEC));
    metal.setColorAt(1, QColor(0x93, 0x9B, 0xA4));
    p.setPen(QPen(QColor(0x3A, 0x40, 0x47), 1.4));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(25.5, 10.5, 18, 33), 3, 3);
    p.setPen(QPen(QColor(0x6B, 0x73, 0x7C), 1.2));
    for (qreal x : {31.5, 35.5, 39.5})
        p.drawLine(QPointF(x, 15), QPointF(x, 39));

    // Green arrow pointing into the connector.
    QPainterPath arrow;
    arrow.moveTo(1.5, 22);
    arrow.lineTo(8.5, 22);
    arrow.lineTo(8.5, 13);
    arrow.lineTo(18, 27);
    arrow.lineTo(8.5, 41);
    arrow.lineTo(8.5, 32);
    arrow.lineTo(1.5, 32);
    arrow.closeSubpath();
    QLinearGradient green(0, 13, 0, 41);
    green.setColorAt(0, QColor(0x5C, 0xD0, 0x5A));
    green.setColorAt(1, QColor(0x1F, 0x8E, 0x2C));
    p.setPen(QPen(QColor(0x14, 0x5E, 0x1D), 1.4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(green);
    p.drawPath(arrow);
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const struct {
        const char* name;
        QImage image;
    } icons[] = {
        {"128-program.png", DrawProgramIcon()},
        {"133-floppy.png", DrawFloppy()},
        {"135-connector.png", DrawConnector()},
    };
    for (const auto& icon : icons) {
        const QString path = dir.filePath(QString::fromLatin1(icon.name));
        if (!icon.image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    for (int size : {48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        const QString path = dir.filePath(folder + QStringLiteral("/vornik-setup.png"));
        if (!dir.mkpath(folder) || !DrawProgramIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
