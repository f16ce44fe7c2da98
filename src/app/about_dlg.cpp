#include "app/about_dlg.h"

#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "layout/dialogs.h"
#include "pages/dialog_builder.h"
#include "pages/dialog_units.h"

namespace vornik {

namespace {
constexpr int kIconSize = 32; // the system's large icon
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    const layout::Dialog& box = layout::AboutBox();
    setWindowTitle(QCoreApplication::translate("vornik::layout", box.title.c_str()));
    setFont(DialogFont());
    const DialogUnits du = DialogUnits::FromFont(font());
    setFixedSize(du.X(box.width), du.Y(box.height));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    DialogBuilder b(this, m_controls);
    QLabel* icon = nullptr;
    b.Build(box, [this, &icon](const layout::Control& c) -> QWidget* {
        icon = new QLabel(this);
        icon->setPixmap(QIcon(QStringLiteral(":/icon/%1").arg(c.icon)).pixmap(kIconSize, kIconSize));
        return icon;
    });
    // An icon keeps the system's size, whatever the units make of its place.
    if (icon) icon->resize(kIconSize, kIconSize);
    auto* ok = static_cast<QPushButton*>(m_controls.Control(layout::ID_OK));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace vornik
