// A text-filter keystroke at 1,000,000 exchanges in the real main window, shown (offscreen unless
// a display is set) with its details column, toolbar and footer: every observer of a rebuilt
// timeline takes part. A row is selected; each keystroke is timed until the list is repainted.
// MORVENDA_ARTIFACTS set: a screenshot of the window after the last keystroke but one.
#include "MorvendaApp/timeline/FilterView.h"
#include "MorvendaApp/timeline/TimelineListView.h"
#include "MorvendaApp/timeline/TimelineView.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"
#include "bench/ProgramWindow.h"
#include "bench/filter_keystrokes.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::prepareProgramEnvironment(home);
    QApplication app(argc, argv);
    if (!bench::programReady())
        return 2;
    bench::ProgramWindow program(home);
    MainScene &scene = program.scene;

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
    bench::filterKeystrokes("window filter", {program.shared.repository, scene.selection(), filter->textField(), settle,
                                              [timeline] { return timeline->viewModel().rowCount(); }});

    if (const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS"); !dir.isEmpty()) {
        filter->textField()->setText(QStringLiteral("cart"));
        bench::waitFor([] { return false; }, 500);
        QDir().mkpath(dir);
        scene.mainWindow()->grab().save(QDir(dir).filePath(QStringLiteral("app_filter.png")));
    }
    return 0;
}
