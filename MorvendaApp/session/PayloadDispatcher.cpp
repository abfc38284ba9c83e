#include "PayloadDispatcher.h"

#include "MorvendaApp/session/ConnectionRegistry.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/Utf8Text.h"


namespace {

// The message as text for the log: at most maxBytes of it (cut at a character boundary) and
// its full size, or nullopt when it is not UTF-8. Only the part shown is converted, so a large
// message costs no copy of itself.
std::optional<QString> loggableText(const QByteArray &message, qsizetype maxBytes)
{
    // A body that is not UTF-8 anywhere, the part not shown included, is reported as such.
    if (!Utf8Text::isValid(message)) {
        return std::nullopt;
    }
    if (message.size() <= maxBytes) {
        return QString::fromUtf8(message);
    }
    qsizetype cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return QString::fromUtf8(QByteArrayView(message).first(cut)) + QStringLiteral(" … (%1 bytes)").arg(message.size());
}

} // namespace

PayloadDispatcher::PayloadDispatcher(const ListenerCollaborators &collaborators, QObject *parent)
    : QObject(parent)
    , m_to(collaborators)
{
}

void PayloadDispatcher::dispatch(const ConnectionPtr &connection, const QByteArray &message,
                                 const tl::expected<Payload, DecodeError> &decoded)
{
    if (!decoded) {
        logUndecodablePayload(decoded.error(), message);
        presentLegacyProtocolAlert(decoded.error());
        return;
    }
    const Payload &payload = *decoded;
    const QString peer = connection->displayName();
    switch (payload.kind()) {
    case Payload::Kind::Request:
        if (m_timelineRecordingEnabled) {
            m_to.repository.addRequest(*payload.asRequest(), peer);
        }
        break;
    case Payload::Kind::Response:
        if (m_timelineRecordingEnabled) {
            m_to.repository.addResponse(*payload.asResponse(), peer);
        }
        break;
    case Payload::Kind::Settings: {
        const QList<Setting> &settings = *payload.asSettings();
        m_to.settingsManager.storeSettings(peer, settings);
        m_to.settingsManager.checkBinaryDecode(settings);
        break;
    }
    case Payload::Kind::User:
        m_to.userManager.storeUser(peer, *payload.asUser());
        break;
    case Payload::Kind::Milestone:
        m_to.milestoneManager.storeMilestones(peer, *payload.asMilestone());
        break;
    case Payload::Kind::Handshake: {
        const QString name = *payload.asHandshake();
        m_to.logger.append(QStringLiteral("Received client handshake: ") + name + QStringLiteral(". Sending hello."));
        qCInfo(lcMorvendaListener, "Received client handshake: %s. Sending hello.", qUtf8Printable(Logger::excerpt(name)));
        emit handshakeReceived(connection, name);
        break;
    }
    }
}

void PayloadDispatcher::logUndecodablePayload(const DecodeError &error, const QByteArray &message)
{
    const QString description = error.toString();
    m_to.logger.error(QStringLiteral("Unable to decode Payload: ") + description);
    const std::optional<QString> text = loggableText(message, maxLoggedBodyBytes);
    m_to.logger.error(QStringLiteral("Data Received: ") + text.value_or(QStringLiteral("-- Unable to convert to utf8 string --")));
    qCCritical(lcMorvendaListener, "Unable to decode Payload: %s", qUtf8Printable(description));
}

void PayloadDispatcher::presentLegacyProtocolAlert(const DecodeError &error)
{
    if (!error.isTypeMismatch() || m_hasDisplayedLegacyProtocolAlert) {
        return;
    }
    m_hasDisplayedLegacyProtocolAlert = true;
    emit alertRaised(Alert::ViewState::legacyCommunicationAlert(error.toString()));
}
