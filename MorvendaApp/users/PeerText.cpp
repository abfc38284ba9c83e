#include "PeerText.h"

#include "MorvendaModel/ShownText.h"

namespace {

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
    const QString shown = ShownText::cut(text, maxChars);
    const qsizetype end = shown.size();
    QString line;
    line.reserve(end);
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = shown.at(i);
        if (c == u'\r' && i + 1 < end && shown.at(i + 1) == u'\n') {
            continue;
        }
        line.append(isBreak(c) ? QChar(u' ') : c);
    }
    return line;
}
