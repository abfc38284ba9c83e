// The program as a user runs it, for the benchmarks that need all of it: its environment in a
// temporary home (offscreen unless a display is set, no advertising), then the shared objects and
// the main window, shown and settled.
#pragma once

#include "CodeMirror/CodeMirrorBundle.h"
#include "MorvendaApp/MainScene/MainScene.h"
#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/SharedObjects.h"
#include "MorvendaApp/shell/AppearanceService.h"
#include "MorvendaApp/shell/PortalColorScheme.h"
#include "MorvendaApp/shell/Preferences.h"
#include "bench/BenchSupport.h"

#include <QLoggingCategory>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

namespace bench {

// Before the application object exists.
inline void prepareProgramEnvironment(const QTemporaryDir &home)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("MORVENDA_NO_ADVERTISE", "1");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
}

// Once it exists: quiet logging unless rules were given, and the code viewer's page at hand
// (false, saying why, when it is missing).
inline bool programReady()
{
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    const auto bundle = CodeMirrorBundle::check();
    if (!bundle)
        std::fprintf(stderr, "%s\n", qPrintable(bundle.error()));
    return bundle.has_value();
}

struct ProgramWindow
{
    explicit ProgramWindow(const QTemporaryDir &home)
        : settings(home.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat)
    {
        scene.mainWindow()->resize(1280, 800);
        scene.show();
        waitFor([] { return false; }, 500); // first paint and the editor pages settle
    }

    PortalColorScheme system;
    QSettings settings;
    Preferences preferences{settings};
    AppearanceService appearance{preferences, system};
    SharedObjects shared{MorvendaListener::Options{QHostAddress::LocalHost, false}};
    MainScene scene{shared, preferences};
};

} // namespace bench
