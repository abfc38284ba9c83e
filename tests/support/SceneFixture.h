// The program's windows as the entry point builds them, on the loopback only: preferences in a
// file of their own, a system colour scheme set by hand, the shared objects and the main scene
// (not yet shown). The fixture of the main-scene, stored-user start-up and remote-panel tests.
#pragma once

#include "tests/shell/FakeSystemColorScheme.h"

#include "MorvendaApp/MainScene/MainScene.h"
#include "MorvendaApp/MainScene/SharedObjects.h"
#include "MorvendaApp/shell/AppearanceService.h"
#include "MorvendaApp/shell/Preferences.h"

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

class SceneFixture
{
public:
    // A `fixedPort` other than 0 starts the server through the fixed-port switch, as a developer
    // starts the program beside a scripted app.
    explicit SceneFixture(MainScene::OpenLink openLink = [](const QUrl &) { return true; }, quint16 fixedPort = 0)
    {
        if (fixedPort != 0) {
            qputenv("MORVENDA_PORT", QByteArray::number(fixedPort));
        }
        shared = std::make_unique<SharedObjects>(MorvendaListener::Options{QHostAddress::LocalHost, false});
        if (fixedPort != 0) {
            qunsetenv("MORVENDA_PORT");
        }
        scene = std::make_unique<MainScene>(*shared, preferences, std::move(openLink));
    }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};
    Preferences preferences{settings};
    FakeSystemColorScheme system{ColorScheme::Light};
    AppearanceService appearance{preferences, system};
    std::unique_ptr<SharedObjects> shared;
    std::unique_ptr<MainScene> scene;
};
