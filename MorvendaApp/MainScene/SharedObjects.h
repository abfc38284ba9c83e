// The long-lived objects every window works on, built once in this order (members are constructed
// in declaration order) and destroyed at exit. Made by the entry point before any window; every
// window takes them by reference. The listener starts serving as soon as it exists, but only
// writes to the stores once the main scene has wired it. Main thread.
#pragma once

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/core/WindowManager.h"

struct SharedObjects
{
    // The application passes the defaults (every interface, advertised); tests pass the loopback.
    explicit SharedObjects(const MorvendaListener::Options &listenerOptions = {})
        : listener(listenerOptions)
    {
    }

    UserManager userManager;
    SettingsManager settingsManager{SettingsManager::defaultMobileProtobufKey()};
    MilestoneManager milestoneManager;
    MessageRepository repository;
    WindowManager windowManager;
    MorvendaListener listener;
    Logger logger;
    FileHolder fileHolder;
    // The stored-user store and its updater join here, after the file holder, once they exist.
};
