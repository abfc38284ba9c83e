// The request path of every stored exchange, by position, laid out in one buffer: matching the
// text or a quick filter against a whole store reads it front to back instead of following two
// pointers per exchange into scattered memory. Owned by the repository and written on the main
// thread; read by several worker threads at once while a store is matched (never while it is
// written).
#pragma once

#include <QString>

#include <optional>
#include <vector>

class PathTextIndex
{
public:
    // A text prepared once for a whole scan, in both layouts the paths use.
    class Needle
    {
    public:
        explicit Needle(const QString &text);

    private:
        friend class PathTextIndex;
        std::vector<char16_t> m_wide;
        std::vector<uchar> m_narrow; // set when every character lies below U+0100
        bool m_isNarrow = true;
    };

    // The path of the exchange at a position: the next position appends, a known one is replaced.
    void set(size_t position, const std::optional<QString> &path);
    void clear();
    size_t size() const { return m_entries.size(); }
    // Bytes held for the texts and their entries, dead space included.
    size_t bytes() const { return m_text.capacity() + m_entries.capacity() * sizeof(Entry); }

    enum class Found { Absent, No, Yes, Unindexed };
    // Whether the position's path contains the needle, by UTF-16 code units and case-sensitively
    // (as QString::contains); Absent without a path, Unindexed for a path too long to keep here
    // (ask the exchange).
    Found contains(size_t position, const Needle &needle) const;
    // Whether the position's path is the needle, unit for unit (as QString's ==).
    Found equals(size_t position, const Needle &needle) const;

private:
    enum class Layout : quint8 { Absent, Narrow, Wide, Unindexed };
    // One word per position: where its text starts in m_text, how many characters it has, and
    // whether they are kept as one byte each (all below U+0100, nearly every path) or as UTF-16.
    struct Entry
    {
        quint64 offset : 40;
        quint64 length : 22;
        quint64 layout : 2;
    };
    static constexpr size_t kMaxLength = (size_t(1) << 22) - 1;

    Entry place(const QString &path);
    template<typename Test>
    Found compare(size_t position, const Needle &needle, Test test) const;
    size_t textBytes(const Entry &entry) const;
    void compact();

    std::vector<uchar> m_text;
    std::vector<Entry> m_entries;
    size_t m_liveBytes = 0;
};
