// The long-lived objects every window works on, built once in this order (members are constructed
// in declaration order) and destroyed at exit. Made by the entry point before any window; every
// window takes them by reference. The listener is built after the stores and the log it writes to
// and starts serving as soon as it exists. Main thread.
#pragma once

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/core/WindowManager.h"
#include "MorvendaApp/users/ImpersonateUpdater.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"

#include <memory>

struct SharedObjects
{
    // The application passes the defaults (every interface, advertised) and the store it opened
    // at start; tests pass the loopback, and may leave the store to be opened here in the data
    // directory, which their environment points at a folder of their own.
    explicit SharedObjects(const MorvendaListener::Options &listenerOptions = {},
        std::unique_ptr<ImpersonateUserStore> store = {})
        : listener({userManager, settingsManager, milestoneManager, repository, logger}, listenerOptions)
        , userStore(store ? std::move(store) : openDefaultStore())
        , impersonateUpdater(*userStore)
    {
    }

    UserManager userManager;
    SettingsManager settingsManager{SettingsManager::defaultMobileProtobufKey()};
    MilestoneManager milestoneManager;
    MessageRepository repository;
    WindowManager windowManager;
    Logger logger;
    MorvendaListener listener;
    FileHolder fileHolder;
    // The stored users; the main scene starts the updater once the main window is shown.
    std::unique_ptr<ImpersonateUserStore> userStore;
    ImpersonateUpdater impersonateUpdater;

private:
    static std::unique_ptr<ImpersonateUserStore> openDefaultStore()
    {
        auto opened = ImpersonateUserStore::openAtStart(ImpersonateUserStore::defaultPath());
        if (!opened) { // a newer version's store, which the entry point refuses before this
            qFatal("%s", qUtf8Printable(opened.error()));
        }
        return std::move(*opened);
    }
};
