#include "MorvendaApp/session/PathTextIndex.h"

#include <cstring>

namespace {

bool isNarrow(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return false;
    }
    return true;
}

// Whether needle occurs in haystack at an offset that is a multiple of the unit size: byte
// offsets for one-byte texts, even ones for UTF-16 (an odd offset would straddle two units).
bool occurs(const uchar *haystack, size_t size, const uchar *needle, size_t needleSize, size_t unit)
{
    if (needleSize == 0)
        return true;
    if (needleSize > size)
        return false;
    const uchar *const last = haystack + (size - needleSize);
    for (const uchar *at = haystack; at <= last; ++at) {
        at = static_cast<const uchar *>(std::memchr(at, needle[0], size_t(last - at) + 1));
        if (!at)
            return false;
        if ((size_t(at - haystack) % unit) == 0 && std::memcmp(at + 1, needle + 1, needleSize - 1) == 0)
            return true;
    }
    return false;
}

} // namespace

PathTextIndex::Needle::Needle(const QString &text)
    : m_wide(text.utf16(), text.utf16() + text.size())
    , m_isNarrow(isNarrow(text))
{
    if (m_isNarrow) {
        m_narrow.reserve(size_t(text.size()));
        for (const QChar c : text)
            m_narrow.push_back(uchar(c.unicode()));
    }
}

PathTextIndex::Entry PathTextIndex::place(const QString &path)
{
    const size_t length = size_t(path.size());
    if (length > kMaxLength)
        return Entry{0, 0, quint64(Layout::Unindexed)};
    const bool narrow = isNarrow(path);
    if (!narrow && m_text.size() % 2 != 0)
        m_text.push_back(0); // keeps every UTF-16 unit at an even offset
    const Entry entry{m_text.size(), length, quint64(narrow ? Layout::Narrow : Layout::Wide)};
    if (narrow) {
        for (const QChar c : path)
            m_text.push_back(uchar(c.unicode()));
    } else {
        const auto *bytes = reinterpret_cast<const uchar *>(path.utf16());
        m_text.insert(m_text.end(), bytes, bytes + length * 2);
    }
    m_liveBytes += textBytes(entry);
    return entry;
}

size_t PathTextIndex::textBytes(const Entry &entry) const
{
    switch (Layout(entry.layout)) {
    case Layout::Narrow: return entry.length;
    case Layout::Wide: return entry.length * 2;
    default: return 0;
    }
}

void PathTextIndex::set(size_t position, const std::optional<QString> &path)
{
    Q_ASSERT(position <= m_entries.size());
    if (position > m_entries.size())
        return;
    const Entry entry = path ? place(*path) : Entry{0, 0, quint64(Layout::Absent)};
    if (position == m_entries.size()) {
        m_entries.push_back(entry);
        return;
    }
    m_liveBytes -= textBytes(m_entries[position]);
    m_entries[position] = entry;
    // Replaced texts stay behind as dead space; once it outweighs the live texts, it goes.
    if (m_text.size() > 2 * m_liveBytes + 4096)
        compact();
}

void PathTextIndex::compact()
{
    std::vector<uchar> text;
    text.reserve(m_liveBytes + m_liveBytes / 8);
    for (Entry &entry : m_entries) {
        const size_t bytes = textBytes(entry);
        if (Layout(entry.layout) == Layout::Wide && text.size() % 2 != 0)
            text.push_back(0);
        const size_t offset = text.size();
        text.insert(text.end(), m_text.begin() + qsizetype(entry.offset),
                    m_text.begin() + qsizetype(entry.offset + bytes));
        entry.offset = offset;
    }
    m_text.swap(text);
}

void PathTextIndex::clear()
{
    m_text = {};
    m_entries = {};
    m_liveBytes = 0;
}

template<typename Test>
PathTextIndex::Found PathTextIndex::compare(size_t position, const Needle &needle, Test test) const
{
    const Entry entry = m_entries[position];
    const uchar *text = m_text.data() + entry.offset;
    switch (Layout(entry.layout)) {
    case Layout::Absent: return Found::Absent;
    case Layout::Unindexed: return Found::Unindexed;
    case Layout::Narrow:
        // A text with a character from U+0100 on is in no path without one.
        if (!needle.m_isNarrow)
            return Found::No;
        return test(text, entry.length, needle.m_narrow.data(), needle.m_narrow.size(), 1) ? Found::Yes : Found::No;
    case Layout::Wide:
        return test(text, entry.length * 2, reinterpret_cast<const uchar *>(needle.m_wide.data()),
                    needle.m_wide.size() * 2, 2)
            ? Found::Yes
            : Found::No;
    }
    return Found::Unindexed;
}

PathTextIndex::Found PathTextIndex::contains(size_t position, const Needle &needle) const
{
    return compare(position, needle, occurs);
}

PathTextIndex::Found PathTextIndex::equals(size_t position, const Needle &needle) const
{
    return compare(position, needle, [](const uchar *text, size_t size, const uchar *bytes, size_t byteCount, size_t) {
        return size == byteCount && (size == 0 || std::memcmp(text, bytes, size) == 0);
    });
}
