// The window tests need an application object; they run without a display,
// with Qt's own texts in Chinese as the program has them.
#include <QApplication>
#include <QTranslator>

#include <cstdlib>

#include <gtest/gtest.h>

#include "app/qt_translation.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTranslator qtTexts;
    vornik::InstallQtChineseTranslation(qtTexts);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
