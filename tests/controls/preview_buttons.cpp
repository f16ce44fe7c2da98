// Renders the network page's two icon buttons, as the window sets them up,
// into PNG files for a look by eye: buttons.png (actual size), buttons-x4.png
// (enlarged 4 times, pixels kept sharp) and icons-x8.png (the three icons at
// their stored size, enlarged 8 times). Usage: preview_buttons OUTPUT_DIR
#include "CIconButton.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

QImage Enlarged(const QImage& image, int factor)
{
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    // One row per state; in each row the two buttons of the network page,
    // 53 x 22 and 49 x 22 dialog units of the page's font.
    QDialog dialog;
    auto* grid = new QGridLayout(&dialog);
    grid->setHorizontalSpacing(12);
    const char* states[] = {"normal", "focused", "pressed", "default", "disabled"};
    std::vector<std::unique_ptr<CIconButton>> faces;
    std::vector<QPushButton*> rows[5];
    for (int row = 0; row < 5; ++row) {
        grid->addWidget(new QLabel(QString::fromLatin1(states[row])), row, 0);
        const struct { int id; const char* caption; int width; int icon; } buttons[] = {
            {1024, "参数配置", 80, 133},
            {1025, "载入默认", 74, 135},
        };
        for (int col = 0; col < 2; ++col) {
            auto* button = new QPushButton(QString::fromUtf8(buttons[col].caption), &dialog);
            button->setAutoDefault(false);
            button->setFixedSize(buttons[col].width, 33);
            button->setProperty("controlId", buttons[col].id + 100 * row);
            grid->addWidget(button, row, col + 1);
            auto face = std::make_unique<CIconButton>();
            face->AttachToButton(buttons[col].id + 100 * row, &dialog);
            face->LoadIcons(buttons[col].icon, 25, 25);
            face->SetFlatLook(false);
            face->SetImageAlignment(CIconButton::ICON_ALIGN_HORIZONTAL);
            faces.push_back(std::move(face));
            rows[row].push_back(button);
        }
    }
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();

    for (QPushButton* b : rows[2])
        b->setDown(true);
    rows[3][0]->setDefault(true);
    for (QPushButton* b : rows[4])
        b->setEnabled(false);

    bool ok = true;
    auto save = [&](const QImage& image, const char* name) {
        const QString path = out.filePath(QString::fromLatin1(name));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ok = false;
        }
    };
    // The focused row is grabbed on its own, while it holds the focus.
    rows[1][0]->setFocus();
    QApplication::processEvents();
    QImage sheet = dialog.grab().toImage();
    {
        QPainter p(&sheet);
        const QRect r(rows[1][1]->mapTo(&dialog, QPoint()), rows[1][1]->size());
        rows[1][0]->clearFocus();
        rows[1][1]->setFocus();
        QApplication::processEvents();
        p.drawImage(r.topLeft(), rows[1][1]->grab().toImage());
    }
    save(sheet, "buttons.png");
    save(Enlarged(sheet, 4), "buttons-x4.png");

    const int ids[] = {128, 133, 135};
    QImage icons(3 * 56 * 8, 56 * 8, QImage::Format_RGB32);
    icons.fill(dialog.palette().color(QPalette::Window));
    {
        QPainter p(&icons);
        for (int i = 0; i < 3; ++i) {
            const QImage icon(QStringLiteral(":/icon/%1").arg(ids[i]));
            p.drawImage(QPoint(i * 56 * 8, 0), Enlarged(icon, 8));
        }
    }
    save(icons, "icons-x8.png");
    return ok ? 0 : 1;
}
