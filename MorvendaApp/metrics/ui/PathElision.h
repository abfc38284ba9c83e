// Shortening a URL path to a width so that what tells it apart from its neighbours still shows.
// REST paths of one app share their head and often their tail ("/api/v2/products/104729/reviews"):
// a plain middle elision shows the same text for all of them, so the segments holding ids are
// kept and the leading segments go first. Pure text and font measuring; any thread.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>

namespace PathElision {

// The id a path segment holds, as a view into it; empty when it holds none. The whole segment
// when it is all digits; otherwise its longest run of at least 4 digits ("104729.jpg") or of at
// least 8 hex digits with a digit among them, hyphens joining (UUIDs, object ids, hashes).
QStringView idIn(QStringView segment);

// A font's text widths, with the advances of single characters remembered so that texts far too
// wide are ruled out without shaping them.
class Measure
{
public:
    explicit Measure(const QFont &font);
    const QFontMetricsF &metrics() const { return m_metrics; }
    // Whether the text is no wider than `width` pixels: exact for every text it lets through.
    bool fits(QStringView text, qreal width);

private:
    QFontMetricsF m_metrics;
    QHash<char16_t, qreal> m_advances;
};

// The path as it is shown in `width` pixels of the font: unchanged when it fits. Otherwise,
// when segments hold ids: leading segments are dropped behind "…" while the ids and all that
// follows them fit ("…/104729/reviews"); then the other segments between ids become "…" and
// what follows the last id is cut ("…/42/…/104729/rev…"); then one id is kept, the longest
// (the last of equals), with what follows it whole or cut, then alone ("…104729/…", "104729…").
// An id wider than the width is itself elided in its middle. A path without an id is elided in
// its middle. The result never measures wider than `width`, except for the ellipsis alone when
// not even that fits.
QString elide(const QString &path, Measure &measure, qreal width);
QString elide(const QString &path, const QFont &font, qreal width);

// elide() with its results remembered for one font and width at a time, for views that paint the
// same rows again and again. A change of font or width forgets everything.
class Cache
{
public:
    QString elide(const QString &path, const QFont &font, qreal width);

private:
    // Bounds the memory of a long-lived list over many paths; refilling costs one elide() a row.
    static constexpr qsizetype kMaxEntries = 4096;
    QFont m_font;
    std::optional<Measure> m_measure;
    qreal m_width = -1;
    QHash<QString, QString> m_shown;
};

} // namespace PathElision
