// A text-filter keystroke at 1,000,000 exchanges in the real main window, shown (offscreen unless
// a display is set) with its details column, toolbar and footer: every observer of a rebuilt
// timeline takes part. A row is selected; each keystroke is timed until the list is repainted.
// MORVENDA_ARTIFACTS set: a screenshot of the window after the last keystroke but one.
#include "CodeMirror/CodeMirrorBundle.h"
#include "MorvendaApp/MainScene/MainScene.h"
#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/SharedObjects.h"
#include "MorvendaApp/shell/AppearanceService.h"
#include "MorvendaApp/shell/PortalColorScheme.h"
#include "MorvendaApp/shell/Preferences.h"
#include "MorvendaApp/timeline/FilterView.h"
#include "MorvendaApp/timeline/TimelineListView.h"
#include "MorvendaApp/timeline/TimelineView.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"
#include "bench/filter_keystrokes.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("MORVENDA_NO_ADVERTISE", "1");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    if (!CodeMirrorBundle::check())
        return 2;

    PortalColorScheme system;
    QSettings settings(home.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    Preferences preferences(settings);
    AppearanceService appearance(preferences, system);
    SharedObjects shared(MorvendaListener::Options{QHostAddress::LocalHost, false});
    MainScene scene(shared, preferences);
    scene.mainWindow()->resize(1280, 800);
    scene.show();
    bench::waitFor([] { return false; }, 500); // first paint and the editor pages settle

    auto *timeline = scene.mainWindow()->findChild<TimelineView *>();
    if (!timeline) {
        std::fprintf(stderr, "the main window has no timeline\n");
        return 1;
    }
    FilterView *filter = timeline->filterView();
    TimelineListView *list = timeline->list();
    const auto settle = [list] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        list->viewport()->repaint();
    };
    bench::filterKeystrokes("window filter", {shared.repository, scene.selection(), filter->textField(), settle,
                                              [timeline] { return timeline->viewModel().rowCount(); }});

    if (const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS"); !dir.isEmpty()) {
        filter->textField()->setText(QStringLiteral("cart"));
        bench::waitFor([] { return false; }, 500);
        QDir().mkpath(dir);
        scene.mainWindow()->grab().save(QDir(dir).filePath(QStringLiteral("app_filter.png")));
    }
    return 0;
}
