// Each connection's latest feature settings, keyed by the connection's display name, and the
// once-per-run alert when an app has binary message encoding on. One shared instance for the
// whole run; main thread only. The listener's payload dispatch is its only writer.
#pragma once

#include "MorvendaApp/session/AlertPresentingDelegate.h"
#include "MorvendaModel/Setting.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <type_traits>

class SettingsManager : public QObject
{
    Q_OBJECT
public:
    static QString defaultMobileProtobufKey() { return QStringLiteral("MOBILE_PROTOBUF_230512"); }

    explicit SettingsManager(QString mobileProtobufKey = defaultMobileProtobufKey(), QObject *parent = nullptr);

    // Connection display name → the whole list that connection reported last. Never cleared.
    const QHash<QString, QList<Setting>> &settings() const { return m_settings; }
    // Replaces the list stored under `connectionName` and fires hasUpdatedSettings.
    void storeSettings(const QString &connectionName, QList<Setting> settings);

    // Raises the binary-encoding alert the first time in this run that `settings` holds the
    // binary-encoding setting switched on.
    void checkBinaryDecode(const QList<Setting> &settings);
    bool hasPresentedBinaryDecodeAlert() const { return m_hasPresentedBinaryDecodeAlert; }

    const QString &mobileProtobufKey() const { return m_mobileProtobufKey; }

    // Held weakly: `delegate` must be a QObject; once it is destroyed the delegate reads as null.
    template<typename Delegate>
    void setAlertPresentingDelegate(Delegate *delegate)
    {
        static_assert(std::is_base_of_v<QObject, Delegate> && std::is_base_of_v<AlertPresentingDelegate, Delegate>);
        m_delegateLifetime = delegate;
        m_delegate = delegate;
    }
    AlertPresentingDelegate *alertPresentingDelegate() const { return m_delegateLifetime ? m_delegate : nullptr; }

    // The effective value (override, else server value) is on.
    static bool isOn(const Setting &setting);
    // "on", "off", "server", "no-server-value", the number's shortest decimal text or the text.
    static QString displayValue(const Setting &setting);

signals:
    void hasUpdatedSettings();

private:
    QHash<QString, QList<Setting>> m_settings;
    bool m_hasPresentedBinaryDecodeAlert = false;
    QString m_mobileProtobufKey;
    QPointer<QObject> m_delegateLifetime;
    AlertPresentingDelegate *m_delegate = nullptr;
};
