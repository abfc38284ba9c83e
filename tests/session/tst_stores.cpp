// The per-connection stores: the value rules of a setting and the once-per-run binary-encoding
// alert with its delegate.
#include "MorvendaApp/session/SettingsManager.h"

#include <QSignalSpy>
#include <QtTest>

#include <optional>

namespace {

using Value = Setting::Value;
using State = Setting::BoolState;

Setting setting(std::optional<Value> overrideValue, Value serverValue,
                const QString &key = SettingsManager::defaultMobileProtobufKey())
{
    return Setting(QStringLiteral("Name"), key, QStringLiteral("Engineer"), std::move(overrideValue),
                   Value::boolean(State::On), std::move(serverValue));
}

class RecordingDelegate : public QObject, public AlertPresentingDelegate
{
public:
    QList<Alert::ViewState> alerts;
    QList<AppPayload> sent;
    void presentAlert(const Alert::ViewState &alert) override { alerts.append(alert); }
    void sendToActiveConnection(const AppPayload &payload) override { sent.append(payload); }
};

} // namespace

class tst_Stores : public QObject
{
    Q_OBJECT
private slots:
    void effectiveValueRules_data();
    void effectiveValueRules();
    void binaryEncodingAlertComesOnceWhenTheSettingTurnsOn();
    void settingsReplaceTheWholeList();
};

void tst_Stores::effectiveValueRules_data()
{
    QTest::addColumn<std::optional<Value>>("overrideValue");
    QTest::addColumn<Value>("serverValue");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("display");
    const std::optional<Value> none;
    QTest::addRow("override on is on") << std::optional(Value::boolean(State::On)) << Value::boolean(State::Off) << true << "on";
    QTest::addRow("override off is off") << std::optional(Value::boolean(State::Off)) << Value::boolean(State::On) << false << "off";
    QTest::addRow("no override and server off is off") << none << Value::boolean(State::Off) << false << "off";
    QTest::addRow("no override and server on is on") << none << Value::boolean(State::On) << true << "on";
    QTest::addRow("override server follows server on") << std::optional(Value::boolean(State::Server)) << Value::boolean(State::On) << true << "on";
    QTest::addRow("override server with server value server shows server")
        << std::optional(Value::boolean(State::Server)) << Value::boolean(State::Server) << false << "server";
    QTest::addRow("a number override is off whatever the server says")
        << std::optional(Value::number(2.5)) << Value::boolean(State::On) << false << "2.5";
    QTest::addRow("a text override is off and shows itself")
        << std::optional(Value::string(QStringLiteral("%@ %d"))) << Value::boolean(State::On) << false << "%@ %d";
    QTest::addRow("a huge number uses an exponent") << std::optional(Value::number(1e16)) << Value::boolean(State::On) << false << "1e+16";
    QTest::addRow("a tiny number uses an exponent") << std::optional(Value::number(0.00001)) << Value::boolean(State::On) << false << "1e-05";
    QTest::addRow("a small number stays plain") << std::optional(Value::number(0.0001)) << Value::boolean(State::On) << false << "0.0001";
}

void tst_Stores::effectiveValueRules()
{
    QFETCH(std::optional<Value>, overrideValue);
    QFETCH(Value, serverValue);
    QFETCH(bool, on);
    QFETCH(QString, display);
    const Setting s = setting(overrideValue, serverValue);
    QCOMPARE(SettingsManager::isOn(s), on);
    QCOMPARE(SettingsManager::displayValue(s), display);
}

// The check stays armed while the setting is off (or only a key differing in case is on); the
// one alert it raises is spent even when no delegate shows it, and its action outlives the
// delegate harmlessly.
void tst_Stores::binaryEncodingAlertComesOnceWhenTheSettingTurnsOn()
{
    SettingsManager manager;
    std::function<void()> action;
    {
        RecordingDelegate delegate;
        manager.setAlertPresentingDelegate(&delegate);
        manager.checkBinaryDecode({});
        manager.checkBinaryDecode({setting(std::nullopt, Value::boolean(State::Off))});
        manager.checkBinaryDecode({setting(Value::boolean(State::On), Value::boolean(State::Off), QStringLiteral("mobile_protobuf_230512"))});
        QCOMPARE(delegate.alerts.size(), 0);
        manager.checkBinaryDecode({setting(std::nullopt, Value::boolean(State::On))});
        QCOMPARE(delegate.alerts.size(), 1);
        action = delegate.alerts.first().actions.first().completion;
    }
    QVERIFY(!manager.alertPresentingDelegate());
    action();  // the delegate is gone: nothing happens, nothing crashes

    SettingsManager orphan;
    orphan.checkBinaryDecode({setting(Value::boolean(State::On), Value::boolean(State::Off))});
    QVERIFY(orphan.hasPresentedBinaryDecodeAlert());
    RecordingDelegate late;
    orphan.setAlertPresentingDelegate(&late);
    orphan.checkBinaryDecode({setting(Value::boolean(State::On), Value::boolean(State::Off))});
    QCOMPARE(late.alerts.size(), 0);
}

void tst_Stores::settingsReplaceTheWholeList()
{
    SettingsManager manager;
    QSignalSpy updates(&manager, &SettingsManager::hasUpdatedSettings);
    manager.storeSettings(QStringLiteral("App"), {setting(std::nullopt, Value::boolean(State::On)),
                                                  setting(std::nullopt, Value::boolean(State::On), QStringLiteral("B"))});
    manager.storeSettings(QStringLiteral("App"), {});
    QCOMPARE(updates.size(), 2);
    QCOMPARE(manager.settings(), (QHash<QString, QList<Setting>>{{QStringLiteral("App"), {}}}));
}

QTEST_GUILESS_MAIN(tst_Stores)
#include "tst_stores.moc"
