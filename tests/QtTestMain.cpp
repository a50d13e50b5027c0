// The main() of every Qt test program: the application object first, then the tests.
#include "tests/QtTestPlatform.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    useOffscreenUnlessAsked();
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
