// Qt's own texts in the window (message-box buttons, the edits' context
// menus) read in Chinese once the program's translation is loaded.
#include <QAction>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include <memory>

#include <gtest/gtest.h>

#include "app/qt_translation.h"

namespace vornik::test {
namespace {

TEST(StandardTexts, TheTranslationLoadsFromQtsFolder)
{
    QTranslator again;
    ASSERT_TRUE(InstallQtChineseTranslation(again))
        << "qtbase_zh_CN missing in " << QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString();
    QCoreApplication::removeTranslator(&again);
}

TEST(StandardTexts, MessageBoxButtonReadsQueDing)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vornik_Setup"), QStringLiteral("text"), QMessageBox::Ok);
    ASSERT_NE(box.button(QMessageBox::Ok), nullptr);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral(u"确定"));
}

TEST(StandardTexts, EditContextMenuIsChinese)
{
    QLineEdit edit(QStringLiteral("192.168.0.1"));
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) texts << action->text().section(QLatin1Char('\t'), 0, 0); // less the shortcut
    ASSERT_GE(texts.size(), 5);
    for (const QString& english : {QStringLiteral("&Undo"), QStringLiteral("Cu&t"), QStringLiteral("&Copy"),
                                   QStringLiteral("&Paste"), QStringLiteral("Select All")})
        EXPECT_FALSE(texts.contains(english)) << english.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral(u"全选"))) << texts.join(QLatin1Char('|')).toStdString();
}

} // namespace
} // namespace vornik::test
