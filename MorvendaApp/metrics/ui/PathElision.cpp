#include "PathElision.h"

#include <QList>
#include <QStringList>

#include <algorithm>

namespace {
constexpr QChar kEllipsis(0x2026);
constexpr qsizetype kMinDigitRun = 4;
constexpr qsizetype kMinHexRun = 8;

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiHex(QChar c)
{
    return isAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Qt's own elision, or the ellipsis alone where it has no answer that fits.
QString elideOrEllipsis(const QString &text, Qt::TextElideMode mode, const QFontMetricsF &metrics, qreal width)
{
    const QString elided = metrics.elidedText(text, mode, width);
    return elided.isEmpty() || metrics.horizontalAdvance(elided) > width ? QString(kEllipsis) : elided;
}
} // namespace

QStringView PathElision::idIn(QStringView segment)
{
    if (!segment.isEmpty() && std::all_of(segment.begin(), segment.end(), isAsciiDigit))
        return segment;
    QStringView best;
    for (qsizetype i = 0; i < segment.size();) {
        if (!isAsciiDigit(segment[i])) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < segment.size() && isAsciiDigit(segment[j]))
            ++j;
        if (j - i >= kMinDigitRun && j - i > best.size())
            best = segment.mid(i, j - i);
        i = j;
    }
    // Hyphens join the groups of a UUID into one run.
    auto inHexRun = [](QChar c) { return isAsciiHex(c) || c == u'-'; };
    for (qsizetype i = 0; i < segment.size();) {
        if (!isAsciiHex(segment[i])) {
            ++i;
            continue;
        }
        qsizetype j = i;
        qsizetype hexDigits = 0;
        bool hasDigit = false;
        while (j < segment.size() && inHexRun(segment[j])) {
            hexDigits += segment[j] != u'-';
            hasDigit = hasDigit || isAsciiDigit(segment[j]);
            ++j;
        }
        qsizetype end = j;
        while (segment[end - 1] == u'-')
            --end;
        if (hexDigits >= kMinHexRun && hasDigit && end - i > best.size())
            best = segment.mid(i, end - i);
        i = j;
    }
    return best;
}

PathElision::Measure::Measure(const QFont &font)
    : m_metrics(font)
{
}

bool PathElision::Measure::fits(QStringView text, qreal width)
{
    // No readable font draws two UTF-16 units in one pixel: a longer text needs no measuring.
    if (text.isEmpty() || text.size() > 2 * width)
        return false;
    // Kerning and shaping make the sum of single advances differ a little from the text's width:
    // only a text well over the width is ruled out by it.
    qreal sum = 0;
    for (const QChar c : text) {
        auto found = m_advances.constFind(c.unicode());
        if (found == m_advances.cend())
            found = m_advances.insert(c.unicode(), m_metrics.horizontalAdvance(c));
        sum += *found;
    }
    return sum <= width * 1.1 + 2 && m_metrics.horizontalAdvance(text.toString()) <= width;
}

QString PathElision::elide(const QString &path, const QFont &font, qreal width)
{
    Measure measure(font);
    return elide(path, measure, width);
}

QString PathElision::elide(const QString &path, Measure &measure, qreal width)
{
    const QFontMetricsF &metrics = measure.metrics();
    auto fits = [&](const QString &text) { return measure.fits(text, width); };
    // `kept` followed by as much of the start of `after` as fits; empty when nothing of it does.
    auto cutAfter = [&](const QString &kept, const QString &after) -> QString {
        if (after.isEmpty() || !fits(kept + kEllipsis))
            return {};
        const QString cut = metrics.elidedText(after, Qt::ElideRight, width - metrics.horizontalAdvance(kept));
        return !cut.isEmpty() && fits(kept + cut) ? kept + cut : QString();
    };
    auto firstFitting = [&](const QStringList &candidates) -> QString {
        const auto found = std::find_if(candidates.cbegin(), candidates.cend(), fits);
        return found == candidates.cend() ? QString() : *found;
    };
    if (path.isEmpty() || fits(path))
        return path;

    // Where each segment starts; segment k runs from starts[k] to the "/" before starts[k + 1].
    QList<qsizetype> starts{0};
    for (qsizetype i = path.indexOf(u'/'); i >= 0; i = path.indexOf(u'/', i + 1))
        starts.append(i + 1);
    auto segment = [&](qsizetype k) -> QStringView {
        const qsizetype end = k + 1 < starts.size() ? starts[k + 1] - 1 : path.size();
        return QStringView(path).mid(starts[k], end - starts[k]);
    };
    // The text that follows segment k, and the "…/" that stands for the text before it (a "/"
    // alone is kept: it is no wider than an ellipsis).
    auto after = [&](qsizetype k) { return path.mid(starts[k] + segment(k).size()); };
    auto leadBefore = [&](qsizetype k) -> QString {
        return starts[k] == 0 ? QString() : starts[k] == 1 ? QStringLiteral("/") : QString(kEllipsis) + u'/';
    };
    QList<qsizetype> ids;
    for (qsizetype k = 0; k < starts.size(); ++k) {
        if (!idIn(segment(k)).isEmpty())
            ids.append(k);
    }
    if (ids.isEmpty())
        return elideOrEllipsis(path, Qt::ElideMiddle, metrics, width);

    // Leading segments dropped behind "…/", the text from segment k on: the fewest dropped that
    // fit, found by halving since a shorter tail is never wider.
    auto dropped = [&](qsizetype k) -> QString { return QString(kEllipsis) + QStringView(path).mid(starts[k] - 1); };
    qsizetype low = starts.size() > 1 && starts[1] == 1 ? 2 : 1;
    qsizetype high = ids.first() + 1; // the first k known to fit, or past the first id for none
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        if (fits(dropped(mid)))
            high = mid;
        else
            low = mid + 1;
    }
    if (high <= ids.first())
        return dropped(high);

    // Every id, each run of other segments between them shown as "…", then what follows the last.
    constexpr qsizetype kMaxIdsKept = 8;
    if (ids.size() > 1 && ids.size() <= kMaxIdsKept) {
        QString kept = leadBefore(ids.first()) + segment(ids.first());
        for (qsizetype i = 1; i < ids.size(); ++i) {
            if (ids[i] > ids[i - 1] + 1)
                kept += u'/' + QString(kEllipsis);
            kept += u'/' + segment(ids[i]);
        }
        const QString tail = after(ids.last());
        if (fits(kept + tail))
            return kept + tail;
        if (const QString cut = cutAfter(kept, tail); !cut.isEmpty())
            return cut;
    }

    // One id, with ever less around it: the longest, as short ones tend to be indexes and
    // versions beside the record's own id; of equal ones the last, which names the record within
    // the others ("/users/12345/orders/67890").
    qsizetype chosen = ids.first();
    for (const qsizetype k : std::as_const(ids)) {
        if (idIn(segment(k)).size() >= idIn(segment(chosen)).size())
            chosen = k;
    }
    const QString lead = leadBefore(chosen);
    const QString held = segment(chosen).toString();
    const QString tail = after(chosen);
    if (const QString whole = lead + held + tail; fits(whole))
        return whole;
    if (const QString cut = cutAfter(lead + held, tail); !cut.isEmpty())
        return cut;
    const QString shortLead = lead.isEmpty() ? QString() : QString(kEllipsis);
    const QString segmentForm = tail.isEmpty() ? firstFitting({shortLead + held, held})
                                               : firstFitting({shortLead + held + u'/' + kEllipsis, shortLead + held + kEllipsis, held});
    if (!segmentForm.isEmpty())
        return segmentForm;
    // The segment is wider than the row: its id alone, marked where the segment goes on.
    const QStringView idView = idIn(held);
    const QString id = idView.toString();
    const bool before = idView.data() != held.constData() || !lead.isEmpty();
    const bool beyond = idView.data() + idView.size() != held.constData() + held.size() || !tail.isEmpty();
    const QString mark(kEllipsis);
    const QString idForm = firstFitting({(before ? mark : QString()) + id + (beyond ? mark : QString()), id + (beyond ? mark : QString()), id});
    if (!idForm.isEmpty())
        return idForm;
    // An id wider than the row: both its ends show, which is where ids of one kind differ.
    return elideOrEllipsis(id, Qt::ElideMiddle, metrics, width);
}

QString PathElision::Cache::elide(const QString &path, const QFont &font, qreal width)
{
    if (!m_measure || width != m_width || font != m_font || m_shown.size() >= kMaxEntries) {
        m_shown.clear();
        if (!m_measure || font != m_font)
            m_measure.emplace(font);
        m_font = font;
        m_width = width;
    }
    auto found = m_shown.constFind(path);
    if (found == m_shown.cend())
        found = m_shown.insert(path, PathElision::elide(path, *m_measure, width));
    return *found;
}
