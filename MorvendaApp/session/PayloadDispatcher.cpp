#include "PayloadDispatcher.h"

#include "MorvendaApp/session/ConnectionRegistry.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"

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

PayloadDispatcher::PayloadDispatcher(const ListenerCollaborators &collaborators, QObject *parent)
    : QObject(parent)
    , m_to(collaborators)
    , m_decoder(Decoder::make())
{
}

void PayloadDispatcher::dispatch(const ConnectionPtr &connection, const QByteArray &message)
{
    std::optional<Payload> payload = decodePayload(message);
    if (!payload) {
        return;
    }
    const QString peer = connection->displayName();
    switch (payload->kind()) {
    case Payload::Kind::Request:
        if (m_timelineRecordingEnabled) {
            m_to.repository.addRequest(*payload->asRequest(), peer);
        }
        break;
    case Payload::Kind::Response:
        if (m_timelineRecordingEnabled) {
            m_to.repository.addResponse(*payload->asResponse(), peer);
        }
        break;
    case Payload::Kind::Settings: {
        const QList<Setting> &settings = *payload->asSettings();
        m_to.settingsManager.storeSettings(peer, settings);
        m_to.settingsManager.checkBinaryDecode(settings);
        break;
    }
    case Payload::Kind::User:
        m_to.userManager.storeUser(peer, *payload->asUser());
        break;
    case Payload::Kind::Milestone:
        m_to.milestoneManager.storeMilestones(peer, *payload->asMilestone());
        break;
    case Payload::Kind::Handshake: {
        const QString name = *payload->asHandshake();
        m_to.logger.append(QStringLiteral("Received client handshake: ") + name + QStringLiteral(". Sending hello."));
        qCInfo(lcMorvendaListener, "Received client handshake: %s. Sending hello.", qUtf8Printable(name));
        emit handshakeReceived(connection, name);
        break;
    }
    }
}

std::optional<Payload> PayloadDispatcher::decodePayload(const QByteArray &message)
{
    auto decoded = m_decoder.decodePayload(message);
    if (decoded) {
        return std::move(*decoded);
    }
    logUndecodablePayload(decoded.error(), message);
    presentLegacyProtocolAlert(decoded.error());
    return std::nullopt;
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
