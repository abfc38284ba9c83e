#include "MorvendaApp/session/Logger.h"

#include <QThread>

namespace {

QString singleLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

Logger::Logger(QObject *parent)
    : QObject(parent)
{
}

void Logger::append(const QString &text)
{
    store(singleLine(text));
}

void Logger::error(const QString &text)
{
    store(QStringLiteral("<ERROR: ") + singleLine(text) + QLatin1Char('>'));
}

void Logger::clear()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this] { clear(); }, Qt::QueuedConnection);
        return;
    }
    m_log.clear();
    m_updated.reset();
    emit updatedChanged(m_updated);
}

// Appending and publishing happen together on the owner thread, so a console that copies log()
// and then subscribes can neither miss a line nor see one twice. Lines written from another
// thread are queued in write order.
void Logger::store(const QString &line)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, line] { store(line); }, Qt::QueuedConnection);
        return;
    }
    m_log.append(line);
    m_updated = line;
    emit updatedChanged(m_updated);
}
