// The tool's own text log, the one the console shows. One instance lives for the whole run and is
// shared by reference. Lives on the main thread; writes from other threads are queued to it.
//
// The log keeps its newest lines within a budget, so an app that floods it (every message
// undecodable, a storm of handshakes) costs a bounded amount of memory however long the tool runs:
// at most maxCharacters characters (8 MiB as UTF-16) in at most maxLines lines, each line cut to
// maxLineLength characters. The oldest lines go first; once any have gone, the first line of
// log() says how many, and is updated in place as more go.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class Logger : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype maxCharacters = 4 * 1024 * 1024;
    static constexpr qsizetype maxLines = 50'000;
    static constexpr qsizetype maxLineLength = 16 * 1024;

    explicit Logger(QObject *parent = nullptr);

    // Plain line. Line feeds become single spaces.
    void append(const QString &text);
    // Error line: "<ERROR: " + text + ">", line feeds likewise replaced.
    void error(const QString &text);
    // Empties the log and publishes "none" (what the console's clear button does).
    void clear();

    // The lines kept since the last clear, oldest first, after the line that counts the dropped
    // ones when there are such.
    const QStringList &log() const { return m_log; }
    // The line most recently published; nullopt after a clear or before the first line.
    const std::optional<QString> &updated() const { return m_updated; }
    // Lines dropped to keep within the budget since the last clear.
    qsizetype droppedLines() const { return m_droppedLines; }

    // `text` cut to `maxLength` characters, with " … (N characters more)" saying what was cut:
    // for texts from an app (its name, a message) that would otherwise be logged whole.
    static QString excerpt(const QString &text, qsizetype maxLength = maxLineLength);

signals:
    // Published after the line is stored in log(), in the same main-thread step, once per line
    // and in write order; nullopt means the log was cleared.
    void updatedChanged(const std::optional<QString> &line);

private:
    void store(const QString &line);
    void dropOldest();

    QStringList m_log;
    qsizetype m_characters = 0; // of the kept lines, the dropped-lines line aside
    qsizetype m_droppedLines = 0;
    std::optional<QString> m_updated;
};
