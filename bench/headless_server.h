// The session core a server benchmark runs against: a listener on loopback with its stores, not
// advertised, without any window.
#pragma once

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"

#include <QHostAddress>

namespace bench {

struct HeadlessServer
{
    HeadlessServer()
        : listener((qputenv("MORVENDA_NO_ADVERTISE", "1"), ListenerCollaborators{users, settings, milestones, repository, logger}),
                   MorvendaListener::Options{QHostAddress::LocalHost, false})
    {
    }

    UserManager users;
    SettingsManager settings;
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener;
};

} // namespace bench
