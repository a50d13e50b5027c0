// The main() of every Qt test program: the application object first, then the tests.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // No window system is needed unless a run asks for one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
