// The console's view of the application log, fed to one code viewer as the lines joined by "\n".
// It reads the lines from the log itself rather than keeping a copy: the log publishes each line
// in the step that stores it, so what it holds is what a copy would hold, and its budget bounds
// the console too.
// However fast lines arrive, the viewer gets at most one new text per push interval (the first
// change at once, the latest text after the interval), so a burst costs a handful of page updates
// instead of one whole-log copy per line. Every push copies the whole log into the page, so the
// interval grows with the log: a log of tens of megabytes (an app whose every message fails to
// decode) refreshes every few seconds instead of keeping the main thread busy copying.
// Owned by its ConsoleView; main thread.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <optional>

class CodeMirrorViewModel;
class Logger;

class ConsoleViewModel : public QObject
{
    Q_OBJECT

public:
    static constexpr int minPushIntervalMs = 100;
    // Each further million characters of log adds this much to the interval.
    static constexpr int pushIntervalPerMillionCharsMs = 100;

    // The wait after pushing a text of `length` characters before the next one.
    static int pushIntervalFor(qsizetype length);

    explicit ConsoleViewModel(QObject *parent = nullptr);

    // Follows `logger` from now on, starting with the lines it holds, and shows them in
    // `codeMirror` (html highlighting). A second call replaces the first one's log and viewer.
    void setup(Logger &logger, CodeMirrorViewModel &codeMirror);

    // One published value of the log (a new line, or none when it was cleared): the log changed.
    void handleUpdate(const std::optional<QString> &line);

    // The lines shown: the followed log's; none before setup.
    const QStringList &log() const;
    // What the viewer shows once the pending push has run.
    QString text() const { return log().join(QLatin1Char('\n')); }
    // Whether a newer text waits for the interval to pass.
    bool hasPendingPush() const { return m_dirty; }
    // The wait after the last push before a newer text may follow.
    int currentPushIntervalMs() const { return m_throttle.interval(); }

private:
    void schedulePush();
    void push();

    QPointer<CodeMirrorViewModel> m_codeMirror;
    QPointer<Logger> m_logger;
    QMetaObject::Connection m_subscription;
    QTimer m_throttle;
    bool m_dirty = false;
};
