// The milestone inspector without widgets: which milestones it lists, its count and date texts
// under a fixed locale and zone, and what odd lists from an app do.
#include "RemoteFixture.h"

#include "MorvendaApp/remote/MilestoneDateFormat.h"
#include "MorvendaApp/remote/MilestoneListModel.h"
#include "MorvendaApp/remote/MilestoneListViewModel.h"

#include <QAbstractItemModelTester>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <ctime>
#include <limits>


namespace {

QStringList keys(const QList<Milestone> &milestones)
{
    QStringList out;
    for (const Milestone &milestone : milestones)
        out.append(milestone.key());
    return out;
}

// 2024-03-05 14:07:09 UTC, a Tuesday.
constexpr double kTuesday = 1709647629;

void useLocaleAndZone(const char *locale, const char *zone)
{
    QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
    qputenv("TZ", zone);
    tzset();
    MilestoneDateFormat::reset();
}

// An inspector's view model and its list, under the model tester.
struct BoundList
{
    RemoteFixture tool;
    MilestoneListViewModel model{tool.listener, tool.milestones};
    MilestoneListModel list{model};
    QAbstractItemModelTester tester{&list, QAbstractItemModelTester::FailureReportingMode::QtTest};
};

} // namespace

class tst_Milestones : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { useLocaleAndZone("C", "UTC"); }
    void filterOverKeysAndShowOddLists();
    void aReportChangesOnlyWhatChanged();
    void listsTheActiveAppsMilestonesOnly();
    void textsFollowLocaleAndZone_data();
    void textsFollowLocaleAndZone();
};

void tst_Milestones::filterOverKeysAndShowOddLists()
{
    useLocaleAndZone("en_US", "UTC");
    BoundList bound;
    QVERIFY(bound.tool.connectApp());
    RemoteFixture &tool = bound.tool;
    MilestoneListViewModel &model = bound.model;
    MilestoneListModel &list = bound.list;
    model.bind();
    QSignalSpy stored(&tool.milestones, &MilestoneManager::hasUpdatedMilestones);
    tool.app.milestones({ScriptedPeer::milestone(QStringLiteral("first order"), 1),
        ScriptedPeer::milestone(QStringLiteral("signup"), 1), ScriptedPeer::milestone(QStringLiteral("Orders"), 2)});
    QTRY_COMPARE(stored.size(), 1);
    QCOMPARE(list.rowCount(), 3);
    model.setTextFilter(QStringLiteral("ORDER"));
    QCOMPARE(keys(model.items()), (QStringList{QStringLiteral("first order"), QStringLiteral("Orders")}));
    model.setTextFilter(QStringLiteral(" order"));
    QCOMPARE(keys(model.items()), QStringList{QStringLiteral("first order")});
    model.setTextFilter(QStringLiteral("nothing"));
    QCOMPARE(list.rowCount(), 0);
    model.setTextFilter(QString());
    QCOMPARE(keys(model.items()), (QStringList{QStringLiteral("first order"), QStringLiteral("signup"), QStringLiteral("Orders")}));

    // Canonically equivalent and case-folded: a precomposed "été" finds "e" + U+0301; a final
    // sigma finds a capital one.
    tool.app.milestones({ScriptedPeer::milestone(QStringLiteral("e\u0301te\u0301_sale"), 1),
        ScriptedPeer::milestone(QStringLiteral("\u039F\u0394\u039F\u03A3_walks"), 1)});
    QTRY_COMPARE(stored.size(), 2);
    model.setTextFilter(QStringLiteral("\u00E9t\u00E9"));
    QCOMPARE(model.items().size(), 1);
    model.setTextFilter(QStringLiteral("\u03BF\u03B4\u03BF\u03C2"));
    QCOMPARE(model.items().size(), 1);
    model.setTextFilter(QString());

    // Odd lists from the app are shown as they come.
    tool.app.milestones({ScriptedPeer::milestone(QStringLiteral("dup"), std::numeric_limits<qint64>::min(), 1e12, 1e12),
        ScriptedPeer::milestone(QStringLiteral("dup"), 2), ScriptedPeer::milestone(QString(10000, u'k'), 0, 0)});
    QTRY_COMPARE(stored.size(), 3);
    // Duplicate keys are listed twice; a date of 10^15 ms is still a date.
    QCOMPARE(list.rowCount(), 3);
    QVERIFY(list.index(0).data(MilestoneListModel::CreatedTextRole).toString().contains(QStringLiteral("33658")));
    QVERIFY(list.index(1).data(MilestoneListModel::UpdatedTextRole).toString().isEmpty());
    QCOMPARE(list.index(2).data(MilestoneListModel::CreatedTextRole).toString(),
        QStringLiteral("Thu, Jan 1, 1970, 12:00:00\u202fAM UTC"));
    // Beyond any calendar the value shows as the app sent it, with its unit.
    tool.app.milestones({ScriptedPeer::milestone(QStringLiteral("far"), 1, 8640000000000.001, -1e300)});
    QTRY_COMPARE(stored.size(), 4);
    QCOMPARE(list.index(0).data(MilestoneListModel::CreatedTextRole).toString(), QStringLiteral("8640000000000001 ms"));
    QCOMPARE(list.index(0).data(MilestoneListModel::UpdatedTextRole).toString(), QStringLiteral("-1e+303 ms"));
    QCOMPARE(MilestoneDateFormat::format(std::numeric_limits<double>::infinity()), QStringLiteral("inf ms"));
}

// A list reported again keeps the rows whose keys stay: one milestone more or less is one row
// inserted or removed, changed counts are one change over their span, never a reset.
void tst_Milestones::aReportChangesOnlyWhatChanged()
{
    BoundList bound;
    QVERIFY(bound.tool.connectApp());
    bound.model.bind();
    MilestoneListModel &list = bound.list;
    const auto report = [&](const QStringList &keys, int bumped = -1) {
        QList<Milestone> milestones;
        for (qsizetype i = 0; i < keys.size(); ++i)
            milestones.append(ScriptedPeer::milestone(keys.at(i), i == bumped ? 100 : 1, 1e9));
        bound.tool.milestones.storeMilestones(QStringLiteral("Shop"), milestones);
    };
    const QStringList five = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("e")};
    report(five);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    const auto span = [](const QSignalSpy &spy) {
        return std::pair{spy.last().at(1).toInt(), spy.last().at(2).toInt()};
    };
    report(five, 1);
    report(five, 3); // rows 1 and 3 differ from the last report
    QCOMPARE(changed.size(), 2);
    QCOMPARE((std::pair{changed.last().at(0).toModelIndex().row(), changed.last().at(1).toModelIndex().row()}), std::pair(1, 3));
    report(five + QStringList{QStringLiteral("f")});
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(span(inserted), std::pair(5, 5));
    report({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f")});
    QCOMPARE(removed.size(), 1);
    QCOMPARE(span(removed), std::pair(2, 2));
    // A row back in the middle and a changed count after it: the change names the row where
    // the count now is, below the inserted one.
    report(five + QStringList{QStringLiteral("f")}, 5);
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(span(inserted), std::pair(2, 2));
    QCOMPARE(changed.size(), 4); // the third: row 3 went back to its count when "f" came
    QCOMPARE((std::pair{changed.last().at(0).toModelIndex().row(), changed.last().at(1).toModelIndex().row()}), std::pair(5, 5));
    report({QStringLiteral("x"), QStringLiteral("y")});
    QCOMPARE(keys(bound.model.items()), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
    QCOMPARE(list.rowCount(), 2);
    QCOMPARE(resets.size(), 0);
}

void tst_Milestones::listsTheActiveAppsMilestonesOnly()
{
    RemoteFixture tool;
    tool.milestones.storeMilestones(QStringLiteral("Shop"), {ScriptedPeer::milestone(QStringLiteral("a"), 1)});
    MilestoneListViewModel model(tool.listener, tool.milestones);
    model.bind();
    model.setTextFilter(QStringLiteral("a"));
    QVERIFY(model.items().isEmpty());
    // The inspector follows milestone messages from its first showing, app or not.
    QVERIFY(tool.connectApp());
    QVERIFY(tool.connectOther(QStringLiteral("Other")));
    tool.milestones.storeMilestones(QStringLiteral("Shop"), {ScriptedPeer::milestone(QStringLiteral("a"), 2)});
    QCOMPARE(model.items().size(), 1);
    tool.listener.select(tool.listener.connections().constLast());
    QVERIFY(model.items().isEmpty());
}

void tst_Milestones::textsFollowLocaleAndZone_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("expected");
    QTest::addRow("English in London") << QStringLiteral("en_US") << QStringLiteral("Europe/London") << QStringLiteral("Tue, Mar 5, 2024, 02:07:09\u202fPM GMT");
    QTest::addRow("German in Berlin") << QStringLiteral("de_DE") << QStringLiteral("Europe/Berlin") << QStringLiteral("Di., 5. März 2024, 15:07:09 MEZ");
}

void tst_Milestones::textsFollowLocaleAndZone()
{
    QFETCH(QString, locale);
    QFETCH(QString, zone);
    QFETCH(QString, expected);
    useLocaleAndZone(locale.toLatin1().constData(), zone.toLatin1().constData());
    QCOMPARE(MilestoneDateFormat::format(kTuesday), expected);
    // Counts are never grouped, whatever the locale.
    QCOMPARE(MilestoneListViewModel::countText(ScriptedPeer::milestone(QStringLiteral("k"), 1000000)),
        QStringLiteral("Count: 1000000"));
    QCOMPARE(MilestoneListViewModel::countText(ScriptedPeer::milestone(QStringLiteral("k"), std::numeric_limits<qint64>::min())),
        QStringLiteral("Count: -9223372036854775808"));
}

QTEST_GUILESS_MAIN(tst_Milestones)
#include "tst_milestones.moc"
