// Program start: the application title, the windows created once in their order, the loop.
#include "app/UntAbout.h"
#include "app/UntAppServices.h"
#include "app/UntMain.h"
#include "app/UntPictures.h"
#include "app/UntSettingsStandIn.h"
#include "settings/UntConfigPath.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelmoraWare Windows Files Monitor"));
    QApplication::setWindowIcon(programIcon());
    // The main window decides when the program ends: closing it may only hide it.
    QApplication::setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    TFrmMain frmMain;
    TSettingsStandIn frmSettings(configFilePath(), localDriveRoots());
    TFrmAbout frmAbout(&frmMain);
    frmMain.setSettingsWindow(&frmSettings);
    frmMain.setAboutBox(&frmAbout);
    QObject::connect(&frmMain, &TFrmMain::programEnd, &app, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });

    frmMain.show();
    const int loopCode = app.exec();
    frmMain.shutdown();
    return loopCode != 0 ? loopCode : exitCode;
}
