// The shared objects the users' windows work with, wired as at start, on the loopback only.
#pragma once

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"

struct SessionTool
{
    UserManager users;
    SettingsManager settings{SettingsManager::defaultMobileProtobufKey()};
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener{{users, settings, milestones, repository, logger}, {QHostAddress::LocalHost, false}};
};
