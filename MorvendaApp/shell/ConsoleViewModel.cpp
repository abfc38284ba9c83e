#include "ConsoleViewModel.h"

#include "CodeMirror/CodeMirrorViewModel.h"
#include "MorvendaApp/session/Logger.h"

#include <algorithm>

ConsoleViewModel::ConsoleViewModel(QObject *parent)
    : QObject(parent)
{
    m_throttle.setSingleShot(true);
    m_throttle.setInterval(minPushIntervalMs);
    connect(&m_throttle, &QTimer::timeout, this, [this] {
        if (m_dirty) {
            push();
        }
    });
}

void ConsoleViewModel::setup(Logger &logger, CodeMirrorViewModel &codeMirror)
{
    // One subscription only: a second one would show every later line twice.
    disconnect(m_subscription);
    m_codeMirror = &codeMirror;
    m_logger = &logger;
    codeMirror.setLanguage(Language::Html);
    // A log trimmed at its start is no longer a text that only grows: the viewer keeps a reader
    // at the newest line all the same, and opens there.
    codeMirror.setFollowsEnd(true);
    m_subscription = connect(&logger, &Logger::updatedChanged, this, &ConsoleViewModel::handleUpdate);
    push();
}

void ConsoleViewModel::handleUpdate(const std::optional<QString> &)
{
    schedulePush();
}

const QStringList &ConsoleViewModel::log() const
{
    static const QStringList none;
    return m_logger ? m_logger->log() : none;
}

void ConsoleViewModel::schedulePush()
{
    m_dirty = true;
    if (!m_throttle.isActive()) {
        push();
    }
}

int ConsoleViewModel::pushIntervalFor(qsizetype length)
{
    const qsizetype millions = length / 1'000'000;
    return int(std::min<qsizetype>(minPushIntervalMs + millions * pushIntervalPerMillionCharsMs, 60'000));
}

void ConsoleViewModel::push()
{
    m_dirty = false;
    const QString shown = text();
    if (m_codeMirror) {
        m_codeMirror->setContent(shown);
    }
    m_throttle.start(pushIntervalFor(shown.size()));
}
