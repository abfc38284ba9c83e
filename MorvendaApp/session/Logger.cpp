#include "MorvendaApp/session/Logger.h"

#include <QThread>

namespace {

QString singleLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString droppedLinesNotice(qsizetype count)
{
    return count == 1 ? QStringLiteral("… 1 earlier line was dropped; the log keeps only its newest lines")
                      : QStringLiteral("… %1 earlier lines were dropped; the log keeps only its newest lines").arg(count);
}

} // namespace

Logger::Logger(QObject *parent)
    : QObject(parent)
{
}

QString Logger::excerpt(const QString &text, qsizetype maxLength)
{
    if (text.size() <= maxLength) {
        return text;
    }
    qsizetype cut = maxLength;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate()) {
        --cut; // never half a character
    }
    // first() copies just the kept part; the cut text's buffer goes with it.
    return text.first(cut) + QStringLiteral(" … (%1 characters more)").arg(text.size() - cut);
}

void Logger::append(const QString &text)
{
    store(singleLine(excerpt(text)));
}

void Logger::error(const QString &text)
{
    store(QStringLiteral("<ERROR: ") + singleLine(excerpt(text)) + QLatin1Char('>'));
}

void Logger::clear()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this] { clear(); }, Qt::QueuedConnection);
        return;
    }
    m_log.clear();
    m_characters = 0;
    m_droppedLines = 0;
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
    m_characters += line.size();
    if (m_characters > maxCharacters || m_log.size() - (m_droppedLines > 0) > maxLines) {
        dropOldest();
    }
    m_updated = line;
    emit updatedChanged(m_updated);
}

// Drops down to seven eighths of the budget, so a full log trims once per many lines rather than
// on every line. QList drops from its front in constant time, and the notice is taken off and put
// back at the front, so no line is moved.
void Logger::dropOldest()
{
    if (m_droppedLines > 0) {
        m_log.removeFirst();
    }
    const qsizetype characterTarget = maxCharacters / 8 * 7;
    const qsizetype lineTarget = maxLines / 8 * 7;
    while (m_log.size() > 1 && (m_characters > characterTarget || m_log.size() > lineTarget)) {
        m_characters -= m_log.constFirst().size();
        m_log.removeFirst();
        ++m_droppedLines;
    }
    m_log.prepend(droppedLinesNotice(m_droppedLines));
}
