// The stores and the server of the remote-panel benchmarks, with one app "Bench" active whose
// reports are decoded and stored as the listener does for a connected app (decoding is timed on
// the main thread here, where the program does it on a worker).
#pragma once

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/PayloadDispatcher.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/Encoder.h"

#include <QTcpSocket>

#include <memory>

namespace bench {

struct RemoteSession
{
    UserManager users;
    SettingsManager settings;
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener{{users, settings, milestones, repository, logger}, {QHostAddress::LocalHost, false}};
    Decoder decoder = Decoder::make();
    PayloadDispatcher dispatcher{{users, settings, milestones, repository, logger}};
    std::shared_ptr<MorvendaConnection> connection = std::make_shared<MorvendaConnection>(new QTcpSocket);

    RemoteSession()
    {
        connection->setDisplayName(QStringLiteral("Bench"));
        listener.setActiveConnection(connection);
    }

    // The app's report `json`, decoded and stored.
    void receive(const QByteArray &json) { dispatcher.dispatch(connection, json, decoder.decodePayload(json)); }
};

} // namespace bench
