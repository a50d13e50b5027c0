// The window system of the Qt test programs.
#pragma once

#include <QByteArray>
#include <QtGlobal>

// Before the application object: no window system is needed unless a run asks for one. Under
// Wine the variable is set here, since Wine does not hand QT_ variables to the program.
inline void useOffscreenUnlessAsked()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
