// What the users views show of a text an app sent (names, tokens, e-mails, addresses, notes):
// an app may send megabytes in one field, and shaping all of it would freeze the window, so views
// take a bounded prefix and lay that out. The stored record always keeps the whole text.
#pragma once

#include <QString>

class PeerText
{
public:
    // Characters of one peer text that a view lays out at most; far more than any row or panel
    // line can show.
    static constexpr qsizetype kMaxShown = 2000;

    // The text for a one-line place: cut like ShownText::cut to at most `maxChars` characters,
    // "…" included, with every line break and tab as a space and a CR LF pair as one.
    static QString oneLine(const QString &text, qsizetype maxChars = kMaxShown);
};
