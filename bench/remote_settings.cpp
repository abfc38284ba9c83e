// The settings panel with 2,000 settings, shown: a search keystroke that changes the shown list to
// the repainted list, one settings message (decoded and stored) to the repainted list, and the
// panel's first paint. Prints medians and ranges over several runs.
#include "remote_common.h"

#include "MorvendaApp/remote/SettingsListViewModel.h"
#include "MorvendaApp/remote/ui/SettingsListView.h"
#include "MorvendaModel/Encoder.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>

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

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    bench::RemoteSession session;
    MorvendaListener &listener = session.listener;
    SettingsManager &settings = session.settings;
    settings.storeSettings(QStringLiteral("Bench"), settingsList(0));

    std::vector<double> firstPaint;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        SettingsListView panel(listener, settings);
        panel.resize(400, 900);
        panel.show();
        bench::settle(&panel);
        firstPaint.push_back(timer.nsecsElapsed() / 1e6);
    }

    SettingsListView panel(listener, settings);
    panel.resize(400, 900);
    panel.show();
    bench::settle(&panel);

    // Keystrokes that change the shown list: typing digits on and deleting them back, a word of
    // the names, an engineer; a keystroke that leaves the list as it was is not counted.
    std::vector<double> keystroke;
    const QStringList words = {QStringLiteral("1234"), QStringLiteral("987"), QStringLiteral("area3."),
        QStringLiteral("Engineer 1"), QStringLiteral("switch55")};
    for (int round = 0; round < 3; ++round) {
        for (const QString &word : words) {
            QStringList texts;
            for (qsizetype n = 1; n <= word.size(); ++n)
                texts.append(word.left(n));
            for (qsizetype n = word.size() - 1; n >= 0; --n)
                texts.append(word.left(n));
            for (const QString &text : std::as_const(texts)) {
                const QList<Setting> before = panel.viewModel().items();
                QElapsedTimer timer;
                timer.start();
                panel.searchField()->setText(text);
                bench::settle(&panel);
                const double ms = timer.nsecsElapsed() / 1e6;
                if (panel.viewModel().items().size() != before.size() || panel.viewModel().items() != before)
                    keystroke.push_back(ms);
            }
        }
    }
    panel.searchField()->clear();
    bench::settle(&panel);

    std::vector<double> message;
    for (int run = 0; run < kRuns; ++run) {
        const QByteArray json = Encoder::encode(Payload::settings(settingsList(run + 1)));
        QElapsedTimer timer;
        timer.start();
        session.receive(json);
        bench::settle(&panel);
        message.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (panel.viewModel().items().size() != kSettings)
        std::printf("unexpected: %lld rows listed\n", qint64(panel.viewModel().items().size()));

    bench::report("first paint of the panel with 2,000 rows", firstPaint);
    bench::report("list-changing search keystroke to repaint", keystroke, 30);
    bench::report("settings message to repainted list", message, 50);
    return 0;
}
