// The console's copy of the application log, fed to one code viewer as the lines joined by "\n".
// However fast lines arrive, the viewer gets at most one new text per `minPushIntervalMs` (the
// first change at once, the latest text after the interval), so a burst costs a handful of page
// updates instead of one whole-log copy per line. Owned by its ConsoleView; main thread.
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

    explicit ConsoleViewModel(QObject *parent = nullptr);

    // Follows `logger` from now on, starting from a copy of its lines, and shows them in
    // `codeMirror` (html highlighting). A second call replaces the first one's log and viewer.
    void setup(Logger &logger, CodeMirrorViewModel &codeMirror);

    // One published value of the log: a line to append, or none when the log was cleared.
    void handleUpdate(const std::optional<QString> &line);

    const QStringList &log() const { return m_log; }
    // What the viewer shows once the pending push has run.
    QString text() const { return m_log.join(QLatin1Char('\n')); }
    // Whether a newer text waits for the interval to pass.
    bool hasPendingPush() const { return m_dirty; }

signals:
    // After a text was handed to the viewer.
    void contentPushed();

private:
    void schedulePush();
    void push();

    QPointer<Logger> m_logger;
    QPointer<CodeMirrorViewModel> m_codeMirror;
    QStringList m_log;
    QMetaObject::Connection m_subscription;
    QTimer m_throttle;
    bool m_dirty = false;
};
