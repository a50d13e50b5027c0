// Program start: the application title, the windows created once in their order, the loop.
#include "app/UntAbout.h"
#include "app/UntMain.h"
#include "app/UntMainImages.h"
#include "app/UntSettingsAdapter.h"
#include "settingsui/UntSettings.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelmoraWare Windows Files Monitor"));
    QApplication::setWindowIcon(programIcon());
    // The main window decides when the program ends: closing it may only hide it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Created in this order and kept until the end; the settings window reads config.ini (and
    // creates the extension dialog) before the main window is first shown.
    TFrmMain frmMain;
    TFrmAbout* about = nullptr;
    TSettingsEnvironment environment;
    environment.showAbout = [&about] {
        if (about)
            about->exec();
    };
    TFrmSettings frmSettings(std::move(environment), &frmMain);
    TFrmAbout frmAbout(&frmMain);
    about = &frmAbout;

    TSettingsAdapter settings(frmSettings);
    frmMain.setSettingsWindow(&settings);
    frmMain.setAboutBox(&frmAbout);
    int exitCode = 0;
    QObject::connect(&frmMain, &TFrmMain::programEnd, &app, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });

    frmMain.show();
    const int loopCode = app.exec();
    frmMain.shutdown();
    return loopCode != 0 ? loopCode : exitCode;
}
