#include "app/about_dlg.h"

#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "pages/dialog_units.h"

namespace vornik {

namespace {
constexpr int kIconSize = 32; // the system's large icon
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QCoreApplication::translate("CAboutDlg", "关于 Vornik多探头 V2.0"));
    setFont(DialogFont());
    const DialogUnits du = DialogUnits::FromFont(font());
    setFixedSize(du.X(235), du.Y(55));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icon/128")).pixmap(kIconSize, kIconSize));
    icon->setGeometry(du.X(11), du.Y(17), kIconSize, kIconSize);

    auto* name = new QLabel(QCoreApplication::translate("CAboutDlg", "Vornik多探头 V2.0"), this);
    name->setTextFormat(Qt::PlainText);
    name->move(du.X(40), du.Y(10));
    name->resize(name->sizeHint());

    auto* ok = new QPushButton(QCoreApplication::translate("CAboutDlg", "确定"), this);
    ok->setProperty("controlId", 1); // IDOK
    ok->setGeometry(du.Map(178, 6, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace vornik
