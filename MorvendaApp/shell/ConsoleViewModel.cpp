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
    codeMirror.setLanguage(Language::Html);
    // The copy and the subscription are taken in the same main-thread step, and the logger
    // publishes each line in the step that stores it, so no line is missed or seen twice.
    m_log = logger.log();
    m_subscription = connect(&logger, &Logger::updatedChanged, this, &ConsoleViewModel::handleUpdate);
    push();
}

void ConsoleViewModel::handleUpdate(const std::optional<QString> &line)
{
    if (line) {
        m_log.append(*line);
    } else {
        m_log.clear();
    }
    schedulePush();
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
