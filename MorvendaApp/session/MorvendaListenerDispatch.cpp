// Dispatch half of the listener: decoding what the apps send, storing it, logging what cannot be
// decoded, and sending commands with their outcome.
#include "MorvendaListener.h"

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/Encoder.h"

#include <QStringDecoder>

namespace {

// The message as text for the log: at most maxBytes of it (cut at a character boundary) and
// its full size, or nullopt when it is not UTF-8.
std::optional<QString> loggableText(const QByteArray &message, qsizetype maxBytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    if (message.size() <= maxBytes) {
        QString text = decoder.decode(message);
        return decoder.hasError() ? std::nullopt : std::optional<QString>(text);
    }
    qsizetype cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    QString text = decoder.decode(QByteArrayView(message).first(cut));
    // The rest must be valid too: a body that is not UTF-8 is reported as such.
    QStringDecoder rest(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    rest.decode(QByteArrayView(message).sliced(cut));
    if (decoder.hasError() || rest.hasError()) {
        return std::nullopt;
    }
    return text + QStringLiteral(" … (%1 bytes)").arg(message.size());
}

} // namespace

void MorvendaListener::handlePayload(const ConnectionPtr &connection, const QByteArray &message)
{
    std::optional<Payload> payload = decodePayload(message);
    if (!payload) {
        return;
    }
    const QString peer = connection->displayName();
    switch (payload->kind()) {
    case Payload::Kind::Request:
        if (m_timelineRecordingEnabled) {
            if (m_repository) {
                m_repository->addRequest(*payload->asRequest(), peer);
            } else {
                qCWarning(lcMorvendaListener, "Request dropped: the listener is not configured yet");
            }
        }
        break;
    case Payload::Kind::Response:
        if (m_timelineRecordingEnabled) {
            if (m_repository) {
                m_repository->addResponse(*payload->asResponse(), peer);
            } else {
                qCWarning(lcMorvendaListener, "Response dropped: the listener is not configured yet");
            }
        }
        break;
    case Payload::Kind::Settings:
        if (m_settingsManager) {
            const QList<Setting> &settings = *payload->asSettings();
            m_settingsManager->storeSettings(peer, settings);
            if (m_settingsManager) {
                m_settingsManager->checkBinaryDecode(settings);
            }
        } else {
            qCWarning(lcMorvendaListener, "Settings dropped: the listener is not configured yet");
        }
        break;
    case Payload::Kind::User:
        if (m_userManager) {
            m_userManager->storeUser(peer, *payload->asUser());
        } else {
            qCWarning(lcMorvendaListener, "User dropped: the listener is not configured yet");
        }
        break;
    case Payload::Kind::Milestone:
        if (m_milestoneManager) {
            m_milestoneManager->storeMilestones(peer, *payload->asMilestone());
        } else {
            qCWarning(lcMorvendaListener, "Milestones dropped: the listener is not configured yet");
        }
        break;
    case Payload::Kind::Handshake: {
        const QString name = *payload->asHandshake();
        appendLine(QStringLiteral("Received client handshake: ") + name + QStringLiteral(". Sending hello."));
        qCInfo(lcMorvendaListener, "Received client handshake: %s. Sending hello.", qUtf8Printable(name));
        handleHandshake(connection, name);
        send(AppPayload::serverHello(), connection);
        break;
    }
    }
}

std::optional<Payload> MorvendaListener::decodePayload(const QByteArray &message)
{
    auto decoded = m_decoder.decodePayload(message);
    if (decoded) {
        return std::move(*decoded);
    }
    logUndecodablePayload(decoded.error(), message);
    presentLegacyProtocolAlert(decoded.error());
    return std::nullopt;
}

void MorvendaListener::logUndecodablePayload(const DecodeError &error, const QByteArray &message)
{
    const QString description = error.toString();
    errorLine(QStringLiteral("Unable to decode Payload: ") + description);
    const std::optional<QString> text = loggableText(message, maxLoggedBodyBytes);
    errorLine(QStringLiteral("Data Received: ") + text.value_or(QStringLiteral("-- Unable to convert to utf8 string --")));
    qCCritical(lcMorvendaListener, "Unable to decode Payload: %s", qUtf8Printable(description));
}

void MorvendaListener::presentLegacyProtocolAlert(const DecodeError &error)
{
    if (!error.isTypeMismatch() || m_hasDisplayedLegacyProtocolAlert) {
        return;
    }
    setAlertViewState(Alert::ViewState::legacyCommunicationAlert(error.toString()));
    m_hasDisplayedLegacyProtocolAlert = true;
}

void MorvendaListener::send(const AppPayload &payload, const ConnectionPtr &connection)
{
    // Encoding cannot fail: every record has a JSON form.
    const QByteArray bytes = Encoder::encode(payload);
    QPointer<MorvendaListener> self(this);
    auto completion = [self](const MorvendaConnection::SendResult &result) {
        if (self) {
            self->handleSendCompletion(result);
        }
    };
    if (!connection) {
        // Completes like every other send: later, on the main thread, with the failure alert.
        QMetaObject::invokeMethod(
            this, [completion] { completion(tl::unexpected(QStringLiteral("No app is connected"))); },
            Qt::QueuedConnection);
        return;
    }
    connection->send(bytes, std::move(completion));
}

void MorvendaListener::handleSendCompletion(const MorvendaConnection::SendResult &result)
{
    if (result) {
        appendLine(QStringLiteral("Successfully sent app payload"));
        qCDebug(lcMorvendaListener, "Successfully sent app payload");
        return;
    }
    errorLine(QStringLiteral("Failed to send app payload: ") + result.error());
    qCCritical(lcMorvendaListener, "Failed to send app payload: %s", qUtf8Printable(result.error()));
    setAlertViewState(Alert::ViewState::errorSendingMessageAlert(result.error()));
}

void MorvendaListener::handleConnectionError(const QString &description)
{
    qCCritical(lcMorvendaListener, "Connection received error while processing data: %s", qUtf8Printable(description));
    errorLine(QStringLiteral("Connection received error while processing data: ") + description);
}
