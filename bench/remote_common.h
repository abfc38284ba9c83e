// What the remote-panel benchmarks share: the stores and the server, with one app "Bench" active
// whose reports are decoded and stored as the listener does for a connected app (decoding is timed
// on the main thread here, where the program does it on a worker); settling a shown panel; the
// printed figures.
#pragma once

#include "BenchSupport.h"

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/PayloadDispatcher.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/Encoder.h"

#include <QCoreApplication>
#include <QString>
#include <QTcpSocket>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

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

// Lets a report or keystroke reach the panel (queued updates, then the rows measured again) and
// paints it, rows on screen; a null panel only runs the queued work.
inline void settle(QWidget *panel)
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    if (panel)
        panel->repaint();
}

// One line of figures: the median, best and worst of the runs, in milliseconds, and the target
// for the worst run when there is one (`targetMs` > 0).
inline void report(const char *what, const std::vector<double> &ms, double targetMs = 0)
{
    const auto [low, high] = std::minmax_element(ms.begin(), ms.end());
    std::printf("%-58s median %8.2f ms  best %8.2f  worst %8.2f ms  %s(%d runs)\n", what, median(ms), *low, *high,
        targetMs > 0 ? qPrintable(QStringLiteral("(target: worst < %1 ms) ").arg(targetMs)) : "", int(ms.size()));
}

} // namespace bench
