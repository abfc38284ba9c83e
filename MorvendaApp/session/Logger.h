// The tool's own text log, the one the console shows. One instance lives for the whole run and is
// shared by reference. Lives on the main thread; writes from other threads are queued to it.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class Logger : public QObject
{
    Q_OBJECT

public:
    explicit Logger(QObject *parent = nullptr);

    // Plain line. Line feeds become single spaces.
    void append(const QString &text);
    // Error line: "<ERROR: " + text + ">", line feeds likewise replaced.
    void error(const QString &text);
    // Empties the log and publishes "none" (what the console's clear button does).
    void clear();

    // Every line written since the last clear, oldest first.
    const QStringList &log() const { return m_log; }
    // The line most recently published; nullopt after a clear or before the first line.
    const std::optional<QString> &updated() const { return m_updated; }

signals:
    // Published after the line is stored in log(), in the same main-thread step, once per line
    // and in write order; nullopt means the log was cleared.
    void updatedChanged(const std::optional<QString> &line);

private:
    void store(const QString &line);

    QStringList m_log;
    std::optional<QString> m_updated;
};
