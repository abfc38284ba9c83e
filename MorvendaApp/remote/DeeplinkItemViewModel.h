// The state of one row of the deeplink panel: its catalogue entry, the environment whose origin
// the link starts with, and the values typed into its fields. Builds the link and sends it to
// the active app. Owned by its row widget; main thread only.
#pragma once

#include "Deeplinks.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

#include "MorvendaApp/session/MorvendaListener.h"

enum class DeeplinkEnvironment { Staging, Production };

namespace DeeplinkEnvironments {
// Staging, then production.
const QList<DeeplinkEnvironment> &allCases();
// "staging" or "production".
QString rawValue(DeeplinkEnvironment environment);
std::optional<DeeplinkEnvironment> fromRawValue(QStringView text);
} // namespace DeeplinkEnvironments

// The origin each environment's links start with; tests put other texts in.
struct DeeplinkBaseAddresses
{
    QString staging;
    QString production;

    static DeeplinkBaseAddresses standard();
    const QString &of(DeeplinkEnvironment environment) const;
};

class DeeplinkItemViewModel : public QObject
{
    Q_OBJECT

public:
    DeeplinkItemViewModel(Deeplinks::Case deeplinkCase, DeeplinkEnvironment environment,
        DeeplinkBaseAddresses bases = DeeplinkBaseAddresses::standard(), QObject *parent = nullptr);

    Deeplinks::Case deeplinkCase() const { return m_case; }
    const Deeplink &deeplink() const { return m_deeplink; }

    DeeplinkEnvironment environment() const { return m_environment; }
    void setEnvironment(DeeplinkEnvironment environment) { m_environment = environment; }

    // One entry per distinct typed component id, empty to begin with.
    const QHash<QString, QString> &inputs() const { return m_inputs; }
    void setInput(const QString &id, const QString &text) { m_inputs.insert(id, text); }

    // The shared server; held weakly, so a send after it is gone does nothing.
    void setSession(MorvendaListener *session) { m_session = session; }

    // The link text, or nothing when the environment's origin is not an absolute URL.
    std::optional<QString> url() const;
    // Sends the link to the app active at this moment; with none (or no server yet) nothing
    // happens. A link that cannot be built raises the "Unable to build deeplink" alert instead.
    void sendDeeplink();

private:
    Deeplinks::Case m_case;
    Deeplink m_deeplink;
    DeeplinkEnvironment m_environment;
    DeeplinkBaseAddresses m_bases;
    QHash<QString, QString> m_inputs;
    QPointer<MorvendaListener> m_session;
};
