// Entry point: checks the bundled editor page, builds the appearance and the shared objects once,
// shows the main scene and runs the event loop. A start-up failure is reported on stderr and in a
// message box, and the process exits non-zero.
#include "CodeMirror/CodeMirrorBundle.h"
#include "MorvendaApp/MainScene/MainScene.h"
#include "MorvendaApp/MainScene/SharedObjects.h"
#include "MorvendaApp/shell/AppearanceService.h"
#include "MorvendaApp/shell/PortalColorScheme.h"
#include "MorvendaApp/shell/Preferences.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"

#include <QApplication>
#include <QMessageBox>
#include <QSettings>

#include <cstdio>

#include <unistd.h>

namespace {
int failStart(const QString &message)
{
    std::fprintf(stderr, "morvenda: %s\n", qUtf8Printable(message));
    QMessageBox::critical(nullptr, QStringLiteral("Morvenda"), message);
    return 1;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvenda"));
    QApplication::setOrganizationName(QStringLiteral("Morvenda"));
    QApplication::setDesktopFileName(QStringLiteral("morvenda"));

    if (const auto bundle = CodeMirrorBundle::check(); !bundle) {
        return failStart(bundle.error());
    }
    // The code viewers' web engine aborts the whole process when its first page opens as root
    // with its sandbox on; stop now, before any session data exists, rather than then.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        return failStart(QStringLiteral("running as root needs QTWEBENGINE_DISABLE_SANDBOX=1 in the environment "
                                        "(the web engine of the code viewers refuses root otherwise); scripts/run "
                                        "sets it"));
    }

    // The portal's fallback reads the platform palette, so it comes before our palette is applied.
    PortalColorScheme system;
    QSettings settings;
    Preferences preferences(settings);
    AppearanceService appearance(preferences, system);

    // The stored users are opened before anything is shown: only a store of a newer version stops
    // the program; one set aside as damaged, or one that cannot be opened at all (the program then
    // runs without stored users), is said once the main window is up.
    auto userStore = ImpersonateUserStore::openAtStart(ImpersonateUserStore::defaultPath());
    if (!userStore) {
        return failStart(userStore.error());
    }

    SharedObjects shared({}, std::move(*userStore));
    MainScene scene(shared, preferences);
    QObject::connect(&scene, &MainScene::quitRequested, &app, &QApplication::quit, Qt::QueuedConnection);
    scene.show();
    return app.exec();
}
