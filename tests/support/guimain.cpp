#include <gtest/gtest.h>

#include <QApplication>

#include "gui/base/fonts.h"

// The windows need an application object for their whole life; every test shares this one.
int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    LoadFonts();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
