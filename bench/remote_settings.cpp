// The settings panel with 2,000 settings, shown: one search keystroke to the repainted list, one
// settings message (decoded and stored) to the repainted list, and the panel's first paint.
// Prints medians and ranges over several runs.
#include "BenchSupport.h"

#include "MorvendaApp/remote/SettingsListViewModel.h"
#include "MorvendaApp/remote/ui/SettingsListView.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/PayloadDispatcher.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/Encoder.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QTcpSocket>

#include <cstdio>
#include <memory>

namespace {

constexpr int kSettings = 2000;
constexpr int kRuns = 15;

QList<Setting> settingsList(int generation)
{
    QList<Setting> out;
    for (int i = 0; i < kSettings; ++i) {
        const QString key = QStringLiteral("feature.area%1.switch%2").arg(i % 40).arg(i);
        const QString name = QStringLiteral("Feature %1").arg(i);
        const QString engineer = QStringLiteral("Engineer %1").arg(i % 17);
        if (i % 3 == 0)
            out.append(Setting(name, key, engineer, std::nullopt, Setting::Value::boolean(Setting::BoolState::Off),
                Setting::Value::boolean((i + generation) % 2 ? Setting::BoolState::On : Setting::BoolState::Off)));
        else if (i % 3 == 1)
            out.append(Setting(name, key, engineer, std::nullopt, Setting::Value::number(i), Setting::Value::number(i + generation)));
        else
            out.append(Setting(name, key, engineer, std::nullopt, Setting::Value::string(name),
                Setting::Value::string(name + QString::number(generation))));
    }
    return out;
}

void settle(QWidget &panel)
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    panel.repaint();
}

void report(const char *what, std::vector<double> ms, double target)
{
    const auto [low, high] = std::minmax_element(ms.begin(), ms.end());
    std::printf("%-44s median %7.2f ms  range %7.2f – %7.2f ms  %s (%d runs)\n", what, bench::median(ms), *low,
        *high, target > 0 ? qPrintable(QStringLiteral("(target < %1 ms)").arg(target)) : "", int(ms.size()));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    UserManager users;
    SettingsManager settings;
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener{{users, settings, milestones, repository, logger}, {QHostAddress::LocalHost, false}};
    // Decodes and stores messages as the listener does for a connected app (decoding is timed
    // here on the main thread, where the program does it on a worker).
    Decoder decoder = Decoder::make();
    PayloadDispatcher dispatcher({users, settings, milestones, repository, logger});
    auto connection = std::make_shared<MorvendaConnection>(new QTcpSocket);
    connection->setDisplayName(QStringLiteral("Bench"));
    listener.setActiveConnection(connection);
    settings.storeSettings(QStringLiteral("Bench"), settingsList(0));

    std::vector<double> firstPaint;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        SettingsListView panel(listener, settings);
        panel.resize(400, 900);
        panel.show();
        settle(panel);
        firstPaint.push_back(timer.nsecsElapsed() / 1e6);
    }

    SettingsListView panel(listener, settings);
    panel.resize(400, 900);
    panel.show();
    settle(panel);

    std::vector<double> keystroke;
    const QStringList typed = {QStringLiteral("s"), QStringLiteral("sw"), QStringLiteral("swi"), QStringLiteral("switch1")};
    for (int run = 0; run < kRuns; ++run) {
        const QString text = typed.at(run % typed.size());
        QElapsedTimer timer;
        timer.start();
        panel.searchField()->setText(text);
        settle(panel);
        keystroke.push_back(timer.nsecsElapsed() / 1e6);
    }
    panel.searchField()->clear();
    settle(panel);

    std::vector<double> message;
    for (int run = 0; run < kRuns; ++run) {
        const QByteArray json = Encoder::encode(Payload::settings(settingsList(run + 1)));
        QElapsedTimer timer;
        timer.start();
        dispatcher.dispatch(connection, json, decoder.decodePayload(json));
        settle(panel);
        message.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (panel.viewModel().items().size() != kSettings)
        std::printf("unexpected: %lld rows listed\n", qint64(panel.viewModel().items().size()));

    report("first paint of the panel with 2,000 rows", firstPaint, 0);
    report("search keystroke to repainted list", keystroke, 30);
    report("settings message to repainted list", message, 50);
    return 0;
}
