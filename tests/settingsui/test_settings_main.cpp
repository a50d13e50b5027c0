// Runs the settings window tests under a QApplication. With "--print-config FILE" the program
// instead loads a settings window on that file and prints what it shows, so that a test can
// check what a fresh process finds.
#include "TestSettingsDump.h"
#include "settingsui/UntSettings.h"
#include "tests/QtTestPlatform.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv)
{
    useOffscreenUnlessAsked();
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--print-config") == 0) {
        TSettingsEnvironment environment;
        environment.configPath = argv[2];
        TFrmSettings settings(std::move(environment));
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY); // the text as it is: no CR added before each LF
#endif
        std::cout << dumpSettings(settings);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
