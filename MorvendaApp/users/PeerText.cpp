#include "PeerText.h"

#include <algorithm>

namespace {

qsizetype cutAt(const QString &text, qsizetype maxChars)
{
    if (text.size() <= maxChars) {
        return text.size();
    }
    qsizetype end = std::max<qsizetype>(0, maxChars);
    if (end > 0 && text.at(end - 1).isHighSurrogate()) {
        --end;
    }
    return end;
}

bool isBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\t':
    case u'\v':
    case u'\f':
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

} // namespace

QString PeerText::oneLine(const QString &text, qsizetype maxChars)
{
    const qsizetype end = cutAt(text, maxChars);
    QString line;
    line.reserve(end);
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < end && text.at(i + 1) == u'\n') {
            continue;
        }
        line.append(isBreak(c) ? QChar(u' ') : c);
    }
    return line;
}

QString PeerText::bounded(const QString &text, qsizetype maxChars)
{
    const qsizetype end = cutAt(text, maxChars);
    if (end == text.size()) {
        return text;
    }
    return text.left(end) + QChar(0x2026);
}
