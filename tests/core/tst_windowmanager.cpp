#include "MorvendaApp/core/WindowManager.h"

#include <QTest>

#include <algorithm>

namespace {

// "user,deeplink" <-> a set of panels.
QSet<SideView> panels(const QString &list)
{
    QSet<SideView> result;
    for (const QString &raw : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        result.insert(sideViewFromRawValue(raw).value());
    return result;
}

QString panelList(const QSet<SideView> &set)
{
    QStringList raws;
    for (SideView view : set)
        raws << rawValue(view);
    std::sort(raws.begin(), raws.end());
    return raws.join(QLatin1Char(','));
}

// Every notification as "property=value", in emission order. `storedFirst` turns false when a
// signal carries a value the manager does not hold yet.
class Recorder
{
public:
    explicit Recorder(WindowManager &manager)
    {
        watch(manager, &WindowManager::sideViewChanged, &WindowManager::sideView, "sideView",
            [](SideView v) { return rawValue(v); });
        watch(manager, &WindowManager::windowsChanged, &WindowManager::windows, "windows", panelList);
        watch(manager, &WindowManager::bottomViewChanged, &WindowManager::bottomView, "bottomView",
            [](BottomView v) { return rawValue(v); });
        watch(manager, &WindowManager::expandBottomViewChanged, &WindowManager::expandBottomView, "expandBottomView",
            [](bool e) { return QString::fromLatin1(e ? "true" : "false"); });
    }

    QStringList events;
    bool storedFirst = true;

private:
    template<typename Signal, typename Getter, typename Text>
    void watch(WindowManager &manager, Signal changed, Getter stored, const char *name, Text text)
    {
        QObject::connect(&manager, changed, &m_context, [this, &manager, stored, name, text](const auto &value) {
            storedFirst = storedFirst && (manager.*stored)() == value;
            events << QString::fromLatin1(name) + u'=' + text(value);
        });
    }

    QObject m_context;
};

} // namespace

class TestWindowManager : public QObject
{
    Q_OBJECT

private slots:
    // A state is "sideView|windows"; the events are the notifications in order, space-separated.
    // Assigning the value already held notifies too (rows that change nothing).
    void sidePanelTransitions_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("events");

        QTest::addRow("toggle shows a panel that is not in the sidebar") << "none|user" << "toggle settings" << "settings|user" << "sideView=settings";
        QTest::addRow("toggle replaces another sidebar panel") << "user|" << "toggle deeplink" << "deeplink|" << "sideView=deeplink";
        QTest::addRow("toggle hides the panel shown in the sidebar") << "user|" << "toggle user" << "none|" << "sideView=none";
        QTest::addRow("toggle of none while nothing is shown stays none") << "none|" << "toggle none" << "none|" << "sideView=none";
        QTest::addRow("toggle of none hides the shown panel") << "milestone|" << "toggle none" << "none|" << "sideView=none";
        QTest::addRow("toggle of a panel open in a window shows it in the sidebar as well")
            << "none|deeplink" << "toggle deeplink" << "deeplink|deeplink" << "sideView=deeplink";
        QTest::addRow("open records the window and clears the sidebar when it showed the panel")
            << "deeplink|" << "open deeplink" << "none|deeplink" << "windows=deeplink sideView=none";
        QTest::addRow("open leaves another sidebar panel in place") << "user|" << "open deeplink" << "user|deeplink" << "windows=deeplink";
        QTest::addRow("open twice keeps one entry") << "none|deeplink" << "open deeplink" << "none|deeplink" << "windows=deeplink";
        QTest::addRow("close of the sidebar panel leaves its window recorded")
            << "deeplink|deeplink" << "close deeplink" << "none|deeplink" << "sideView=none";
        QTest::addRow("close of a windowed panel forgets its window")
            << "user|deeplink,settings" << "close deeplink" << "user|settings" << "windows=settings";
        QTest::addRow("close of a panel shown nowhere changes nothing") << "user|settings" << "close deeplink" << "user|settings" << "windows=settings";
    }

    void sidePanelTransitions()
    {
        QFETCH(QString, before);
        QFETCH(QString, operation);
        QFETCH(QString, after);
        QFETCH(QString, events);

        WindowManager manager;
        manager.setSideView(sideViewFromRawValue(before.section(u'|', 0, 0)).value());
        manager.setWindows(panels(before.section(u'|', 1)));
        Recorder recorder(manager);

        const SideView view = sideViewFromRawValue(operation.section(u' ', 1)).value();
        if (operation.startsWith(QLatin1StringView("open")))
            manager.open(view);
        else if (operation.startsWith(QLatin1StringView("close")))
            manager.close(view);
        else
            manager.toggle(view);

        QCOMPARE(rawValue(manager.sideView()) + u'|' + panelList(manager.windows()), after);
        QCOMPARE(recorder.events.join(u' '), events);
        QVERIFY(recorder.storedFirst);
    }

    void bottomPaneTransitions_data()
    {
        QTest::addColumn<QString>("bottomView");
        QTest::addColumn<bool>("expanded");
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("expected");

        QTest::addRow("showing a pane from none") << QStringLiteral("none") << false << QStringLiteral("console") << QStringLiteral("console");
        QTest::addRow("the shown pane hides itself") << QStringLiteral("console") << false << QStringLiteral("console") << QStringLiteral("none");
        QTest::addRow("the expanded shown pane hides and collapses") << QStringLiteral("metrics") << true << QStringLiteral("metrics") << QStringLiteral("none");
        QTest::addRow("switching from expanded metrics to the console collapses")
            << QStringLiteral("metrics") << true << QStringLiteral("console") << QStringLiteral("console");
        QTest::addRow("toggling none while none is shown stays none") << QStringLiteral("none") << true << QStringLiteral("none") << QStringLiteral("none");
    }

    void bottomPaneTransitions()
    {
        QFETCH(QString, bottomView);
        QFETCH(bool, expanded);
        QFETCH(QString, pane);
        QFETCH(QString, expected);

        WindowManager manager;
        manager.setBottomView(bottomViewFromRawValue(bottomView).value());
        manager.setExpandBottomView(expanded);
        Recorder recorder(manager);

        manager.toggleBottomView(bottomViewFromRawValue(pane).value());

        QCOMPARE(rawValue(manager.bottomView()), expected);
        QCOMPARE(manager.expandBottomView(), false);
        const QStringList events{QStringLiteral("expandBottomView=false"), QStringLiteral("bottomView=") + expected};
        QCOMPARE(recorder.events, events);
        QVERIFY(recorder.storedFirst);
    }
};

QTEST_GUILESS_MAIN(TestWindowManager)
#include "tst_windowmanager.moc"
