// Hands each message an app sends, once decoded, to where it belongs: requests and
// responses to the repository while recording, settings, user and milestones to the stores under
// the connection's name, a handshake back to the listener. Logs what cannot be decoded and raises
// the legacy-protocol alert once per run. Owned by the listener; main thread.
#pragma once

#include "MorvendaApp/core/Alert.h"
#include "MorvendaModel/DecodeError.h"
#include "MorvendaModel/MorvendaConnection.h"
#include "MorvendaModel/Payload.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <tl/expected.hpp>

#include <memory>
#include <optional>

class Logger;
class MessageRepository;
class MilestoneManager;
class SettingsManager;
class UserManager;

// What the listener works on, handed over when it is built; all outlive it.
struct ListenerCollaborators {
    UserManager &userManager;
    SettingsManager &settingsManager;
    MilestoneManager &milestoneManager;
    MessageRepository &repository;
    Logger &logger;
};

class PayloadDispatcher : public QObject
{
    Q_OBJECT
public:
    using ConnectionPtr = std::shared_ptr<MorvendaConnection>;

    // Undecodable messages are logged with at most this much of their text: enough to see what
    // an app sent, while an app whose every message fails cannot flood the log.
    static constexpr qsizetype maxLoggedBodyBytes = 4 * 1024;

    explicit PayloadDispatcher(const ListenerCollaborators &collaborators, QObject *parent = nullptr);

    // While false, requests and responses are dropped; everything else is still handled.
    bool timelineRecordingEnabled() const { return m_timelineRecordingEnabled; }
    void setTimelineRecordingEnabled(bool enabled) { m_timelineRecordingEnabled = enabled; }

    // Dispatches one message of `connection`, decoded elsewhere (on a worker thread), keyed by
    // the connection's display name as it is now; `message` is what an undecodable one logs.
    void dispatch(const ConnectionPtr &connection, const QByteArray &message,
                  const tl::expected<Payload, DecodeError> &decoded);

signals:
    // After the handshake's log lines; the listener registers the connection and answers it.
    void handshakeReceived(const PayloadDispatcher::ConnectionPtr &connection, const QString &name);
    void alertRaised(const Alert::ViewState &alert);

private:
    void logUndecodablePayload(const DecodeError &error, const QByteArray &message);
    void presentLegacyProtocolAlert(const DecodeError &error);

    ListenerCollaborators m_to;
    bool m_timelineRecordingEnabled = true;
    bool m_hasDisplayedLegacyProtocolAlert = false;
};
