// The settings panel without widgets: the filters, the row rules, the number text in any
// locale, the view model's life with and without an app, and the overrides on the wire.
#include "RemoteFixture.h"

#include "MorvendaApp/remote/SettingFilters.h"
#include "MorvendaApp/remote/SettingNumber.h"
#include "MorvendaApp/remote/SettingRow.h"
#include "MorvendaApp/remote/SettingsListModel.h"
#include "MorvendaApp/remote/SettingsListViewModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>

using State = Setting::BoolState;
using Value = Setting::Value;

namespace {

QStringList keys(const QList<Setting> &settings)
{
    QStringList out;
    for (const Setting &setting : settings)
        out.append(setting.key);
    return out;
}

QString k()
{
    return QStringLiteral("k");
}

QList<Setting> threeKinds()
{
    return {ScriptedPeer::boolSetting(QStringLiteral("b.flag")),
        ScriptedPeer::stringSetting(QStringLiteral("s.banner"), QStringLiteral("hi")),
        ScriptedPeer::numberSetting(QStringLiteral("n.limit"), 3)};
}

// Twelve settings of which those with an even index are overriding.
QList<Setting> twelve()
{
    QList<Setting> out;
    for (int i = 0; i < 12; ++i) {
        const QString key = QStringLiteral("key%1").arg(i);
        out.append(i % 3 == 0 ? ScriptedPeer::boolSetting(key, i % 2 == 0 ? std::optional(State::On) : std::nullopt)
                : i % 3 == 1 ? ScriptedPeer::numberSetting(key, i, i % 2 == 0 ? std::optional(2.0) : std::nullopt)
                             : ScriptedPeer::stringSetting(key, QStringLiteral("v"),
                                 i % 2 == 0 ? std::optional(QStringLiteral("w")) : std::nullopt));
    }
    return out;
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT
private slots:
    void filtersByKindStateAndText();
    void overridingRule();
    void numberText_data();
    void numberText();
    void rowsFollowTheirSetting();
    void panelShownWithoutAppStaysEmpty();
    void typedTextLivesWithItsRowAndOverridesGoOnTheWire();
    void fractionalNumbersGoOutExactly_data();
    void fractionalNumbersGoOutExactly();
    void countsAndEmptyTextFollowTheActiveApp();
    void badSettingsFromTheAppAreShown();
};

void tst_Settings::filtersByKindStateAndText()
{
    const QList<Setting> all = threeKinds();
    using F = SettingTypeFilter;
    QCOMPARE(keys(SettingFilters::apply(all, {}, std::nullopt, std::nullopt)), keys(all));
    QCOMPARE(keys(SettingFilters::filterByType(F::NumericExperiments, all)), QStringList{QStringLiteral("n.limit")});
    QCOMPARE(keys(SettingFilters::filterByType(F::StringExperiments, all)), QStringList{QStringLiteral("s.banner")});
    // The kind is the default's, whatever the override.
    Setting mixed = ScriptedPeer::setting(QStringLiteral("m"), Value::string(QStringLiteral("x")), Value::number(1));
    QCOMPARE(keys(SettingFilters::filterByType(F::StringExperiments, {mixed})), QStringList{QStringLiteral("m")});

    // Capitals find small letters; a blank is a search of its own; key, name and engineer count.
    Setting named(QStringLiteral("Checkout flow"), QStringLiteral("co"), QStringLiteral("Ann Lee"), std::nullopt,
        Value::boolean(State::Off), Value::boolean(State::Off));
    QList<Setting> list = {Setting(QStringLiteral("b.flag"), QStringLiteral("b.flag"), QStringLiteral("Bo"), std::nullopt,
        Value::boolean(State::Off), Value::boolean(State::Off))};
    list.append(named);
    QCOMPARE(keys(SettingFilters::apply(list, QStringLiteral("B.FLAG"), std::nullopt, std::nullopt)), QStringList{QStringLiteral("b.flag")});
    QCOMPARE(keys(SettingFilters::apply(list, QStringLiteral(" "), std::nullopt, std::nullopt)), QStringList{QStringLiteral("co")});
    QCOMPARE(keys(SettingFilters::apply(list, QStringLiteral("lee"), std::nullopt, std::nullopt)), QStringList{QStringLiteral("co")});
    // Caseless up to canonical equivalence: precomposed "été" finds "e" + U+0301, a final sigma
    // finds a capital one, in the name as in the key.
    const QList<Setting> accented = {Setting(QStringLiteral("e\u0301te\u0301 banner"), QStringLiteral("banner"),
                                         QStringLiteral("Bo"), std::nullopt, Value::string(k()), Value::string(k())),
        Setting(QStringLiteral("walks"), QStringLiteral("\u039F\u0394\u039F\u03A3"), QStringLiteral("Bo"), std::nullopt,
            Value::string(k()), Value::string(k()))};
    QCOMPARE(keys(SettingFilters::apply(accented, QStringLiteral("\u00C9T\u00C9"), std::nullopt, std::nullopt)),
        QStringList{QStringLiteral("banner")});
    QCOMPARE(SettingFilters::apply(accented, QStringLiteral("\u03BF\u03B4\u03BF\u03C2"), std::nullopt, std::nullopt).size(), 1);
    QCOMPARE(keys(SettingFilters::apply(twelve(), QStringLiteral("key1"), F::NumericExperiments,
                 SettingStateFilter::Overriding)),
        QStringList{QStringLiteral("key10")});
}

void tst_Settings::overridingRule()
{
    const QString k = QStringLiteral("k");
    const struct {
        const char *what;
        Setting setting;
        bool overriding;
    } cases[] = {
        {"no override", ScriptedPeer::boolSetting(k), false},
        {"override to server", ScriptedPeer::boolSetting(k, State::Server), false},
        {"override to off", ScriptedPeer::boolSetting(k, State::Off), true},
        {"override to zero", ScriptedPeer::numberSetting(k, 1, 0.0), true},
        {"number override of a text setting", ScriptedPeer::setting(k, Value::string(k), Value::number(1)), true},
    };
    for (const auto &c : cases) {
        QVERIFY2(SettingFilters::isOverriding(c.setting) == c.overriding, c.what);
        QVERIFY2(SettingFilters::filterByState(SettingStateFilter::Overriding, {c.setting}).size() == (c.overriding ? 1 : 0), c.what);
        QVERIFY2(SettingFilters::filterByState(SettingStateFilter::NotOverriding, {c.setting}).size() == (c.overriding ? 0 : 1), c.what);
    }
}

void tst_Settings::numberText_data()
{
    QTest::addColumn<QString>("locale");
    const QString german = QStringLiteral("de_DE.UTF-8");
    QTest::addRow("C") << QStringLiteral("C");
    QTest::addRow("de_DE") << german;
}

void tst_Settings::numberText()
{
    QFETCH(QString, locale);
    if (!std::setlocale(LC_ALL, locale.toLatin1().constData()))
        QSKIP("locale not generated on this machine (scripts/setup makes it)");
    const auto restore = qScopeGuard([] { std::setlocale(LC_ALL, "C"); });
    if (locale != QStringLiteral("C"))
        QCOMPARE(std::strtod("1,5", nullptr), 1.5); // the locale really reads commas

    const auto parse = [](const char *text) { return SettingNumber::parse(QString::fromUtf8(text)); };
    QCOMPARE(parse("1"), std::optional(1.0));
    QCOMPARE(parse("1.5"), std::optional(1.5));
    QCOMPARE(parse("1e3"), std::optional(1000.0));
    QCOMPARE(parse("0x1p3"), std::optional(8.0));
    QCOMPARE(parse("-inf"), std::optional(-std::numeric_limits<double>::infinity()));
    QVERIFY(std::isnan(*parse("nan")));
    for (const char *bad : {"1,5", " 1", "1 ", "", "1.5x", "\t2"})
        QVERIFY2(!parse(bad), bad);
    QVERIFY(!SettingNumber::parse(QStringView(u"1\u00002", 3)));

    // The field shows a number as the C locale writes it.
    const SettingRow row = SettingRow::make(ScriptedPeer::numberSetting(QStringLiteral("n"), 1.5), std::nullopt);
    QCOMPARE(row.fieldText, QStringLiteral("1.5"));
}

void tst_Settings::rowsFollowTheirSetting()
{
    const QString k = QStringLiteral("k");
    QCOMPARE(SettingRow::make(ScriptedPeer::boolSetting(k), std::nullopt).pickerState, State::Server);
    QCOMPARE(SettingRow::make(ScriptedPeer::boolSetting(k, State::On), std::nullopt).pickerState, State::On);
    const Setting numberOverride = ScriptedPeer::setting(k, Value::boolean(State::Off), Value::number(2));
    QCOMPARE(SettingRow::make(numberOverride, std::nullopt).pickerState, State::Server);
    QCOMPARE(SettingRow::make(numberOverride, std::nullopt).editor, SettingRow::Editor::Boolean);
    QVERIFY(SettingRow::make(ScriptedPeer::boolSetting(k, State::Server, State::On), std::nullopt).isOn);

    const Setting one = ScriptedPeer::numberSetting(k, 1);
    SettingRow row = SettingRow::make(one, std::nullopt);
    QCOMPARE(row.fieldText, QStringLiteral("1.0"));
    QVERIFY(!row.showsSendButton);
    row = SettingRow::make(one, QStringLiteral("1"));
    QVERIFY(row.sendEnabled());
    QCOMPARE(row.fieldValue(one), std::optional(Value::number(1)));
    row = SettingRow::make(one, QStringLiteral("1,5"));
    QVERIFY(row.showsSendButton && row.showsInvalidNumber && !row.sendEnabled());

    const Setting text = ScriptedPeer::stringSetting(k, QStringLiteral("a"));
    QCOMPARE(SettingRow::make(text, QStringLiteral("a ")).fieldValue(text), std::optional(Value::string(QStringLiteral("a "))));

    // A numeric setting whose override is the boolean server state shows the server's state.
    const Setting serverOverride = ScriptedPeer::setting(k, Value::number(1), Value::boolean(State::Server));
    QCOMPARE(SettingRow::make(serverOverride, std::nullopt).fieldText, QStringLiteral("no-server-value"));
    const Setting serverOn = ScriptedPeer::setting(k, Value::number(1), Value::boolean(State::Server), Value::boolean(State::On));
    QCOMPARE(SettingRow::make(serverOn, std::nullopt).fieldText, QStringLiteral("on"));
}

void tst_Settings::panelShownWithoutAppStaysEmpty()
{
    RemoteFixture tool;
    SettingsListViewModel model(tool.listener, tool.settings);
    SettingsListModel list(model);
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.bind();
    QVERIFY(!model.isBound());
    QVERIFY(!model.canSend());
    QSignalSpy canSend(&model, &SettingsListViewModel::canSendChanged);
    QVERIFY(tool.connectApp());
    QCOMPARE(canSend.last().first().toBool(), true);
    QSignalSpy stored(&tool.settings, &SettingsManager::hasUpdatedSettings);
    tool.app.settings(threeKinds());
    QTRY_COMPARE(stored.size(), 1);
    QCOMPARE(model.items().size(), 0);
    QCOMPARE(model.countText(), QStringLiteral("0/0"));

    model.bind(); // shown again
    QCOMPARE(keys(model.items()), keys(threeKinds()));
    QCOMPARE(list.rowCount(), 3);
    // The app goes away (a file became the source): the list keeps its rows, sending stops.
    tool.listener.setActiveConnection(nullptr);
    QVERIFY(!model.canSend());
    model.setTextFilter(QStringLiteral("zzz"));
    QCOMPARE(model.items().size(), 3);
}

void tst_Settings::typedTextLivesWithItsRowAndOverridesGoOnTheWire()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    tool.settings.storeSettings(QStringLiteral("Shop"), threeKinds());
    SettingsListViewModel model(tool.listener, tool.settings);
    model.bind();
    const Setting number = threeKinds().at(2);
    model.setTypedText(number.key, QStringLiteral("7"));
    // A new report of the app keeps the field's text.
    tool.settings.storeSettings(QStringLiteral("Shop"), threeKinds());
    QCOMPARE(model.row(number).fieldText, QStringLiteral("7"));
    // Filtered away and back, the row starts afresh.
    model.setTextFilter(QStringLiteral("b."));
    model.setTextFilter(QString());
    QCOMPARE(model.row(number).fieldText, QStringLiteral("3.0"));

    model.sendBoolOverride(threeKinds().at(0), State::Off);
    model.setTypedText(number.key, QStringLiteral("1e3"));
    model.sendValueOverride(number);
    model.setTypedText(number.key, QStringLiteral("1,5"));
    model.sendValueOverride(number); // not a number: nothing goes out
    model.sendValueOverride(threeKinds().at(0)); // a boolean has no text to send
    const Setting text = threeKinds().at(1);
    model.setTypedText(text.key, QStringLiteral("x "));
    model.sendValueOverride(text);
    QTRY_COMPARE(tool.commands().size(), 3);
    QCOMPARE(tool.commands(), (QList<QByteArray>{R"({"settingOverride":{"key":"b.flag","value":{"boolean":"off"}}})",
                                                 R"({"settingOverride":{"key":"n.limit","value":{"number":1000}}})",
                                                 R"({"settingOverride":{"key":"s.banner","value":{"string":"x "}}})"}));
    // The highlighted state follows what the app reports, not the tap.
    QCOMPARE(model.row(model.items().at(0)).pickerState, State::Server);
}

void tst_Settings::fractionalNumbersGoOutExactly_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("number");
    QTest::addRow("a tenth") << QStringLiteral("0.1") << QByteArrayLiteral("0.1");
    QTest::addRow("the smallest subnormal") << QStringLiteral("5e-324") << QByteArrayLiteral("5e-324");
    QTest::addRow("seventeen digits") << QStringLiteral("0.30000000000000004") << QByteArrayLiteral("0.30000000000000004");
    QTest::addRow("a negative fraction") << QStringLiteral("-2.5e-7") << QByteArrayLiteral("-2.5e-07");
}

void tst_Settings::fractionalNumbersGoOutExactly()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, number);
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    tool.settings.storeSettings(QStringLiteral("Shop"), threeKinds());
    SettingsListViewModel model(tool.listener, tool.settings);
    model.bind();
    const Setting limit = threeKinds().at(2);
    model.setTypedText(limit.key, typed);
    model.sendValueOverride(limit);
    QTRY_COMPARE(tool.commands().size(), 1);
    QCOMPARE(tool.commands().first(), R"({"settingOverride":{"key":"n.limit","value":{"number":)" + number + "}}}");
}

void tst_Settings::countsAndEmptyTextFollowTheActiveApp()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    QVERIFY(tool.connectOther(QStringLiteral("Other")));
    tool.settings.storeSettings(QStringLiteral("Shop"), twelve());
    SettingsListViewModel model(tool.listener, tool.settings);
    model.bind();
    QCOMPARE(model.countText(), QStringLiteral("12/12"));
    model.toggleStateFilter(SettingStateFilter::Overriding);
    model.setSettingTypeFilter(SettingTypeFilter::BoolExperiments);
    tool.settings.storeSettings(QStringLiteral("Shop"), {ScriptedPeer::boolSetting(QStringLiteral("plain"))});
    QVERIFY(model.items().isEmpty());
    QCOMPARE(model.emptyText(), QStringLiteral("No setting data available."));

    // Another app's report leaves the list alone; choosing that app shows its own settings.
    tool.settings.storeSettings(QStringLiteral("Other"), {ScriptedPeer::boolSetting(QStringLiteral("o"), State::On)});
    QCOMPARE(model.countText(), QStringLiteral("0/1"));
    tool.listener.select(tool.listener.connections().constLast());
    QCOMPARE(keys(model.items()), QStringList{QStringLiteral("o")});
    QCOMPARE(model.countText(), QStringLiteral("1/1"));
}

void tst_Settings::badSettingsFromTheAppAreShown()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    SettingsListViewModel model(tool.listener, tool.settings);
    SettingsListModel list(model);
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.bind();
    QList<Setting> sent;
    for (int i = 0; i < 2000; ++i)
        sent.append(ScriptedPeer::numberSetting(QStringLiteral("k%1").arg(i), i));
    sent.append(ScriptedPeer::boolSetting(QStringLiteral("k1"), State::On)); // a duplicate key
    sent.append(Setting(QString(), QString(10000, u'x'), QString(), std::nullopt, Value::string(QString()), Value::string(QString())));
    sent.append(ScriptedPeer::numberSetting(QStringLiteral("nan"), std::nan(""), std::numeric_limits<double>::infinity()));
    QSignalSpy stored(&tool.settings, &SettingsManager::hasUpdatedSettings);
    tool.app.settings(sent);
    QTRY_COMPARE(stored.size(), 1);
    QCOMPARE(list.rowCount(), 2003);
    QCOMPARE(model.row(model.items().last()).fieldText, QStringLiteral("inf"));
    model.setTextFilter(QStringLiteral("k1"));
    QCOMPARE(model.items().size(), 1 + 10 + 100 + 1000 + 1);
    QCOMPARE(model.items().last().defaultValue.kind(), Setting::Value::Kind::Boolean);
    model.setTextFilter(QStringLiteral("xxxx"));
    QCOMPARE(list.rowCount(), 1);
    // The same list reported again only refreshes rows.
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    tool.app.settings(sent);
    QTRY_COMPARE(stored.size(), 2);
    QCOMPARE(resets.size(), 0);
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
