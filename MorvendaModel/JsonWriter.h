// Compact JSON text written into a growing UTF-8 buffer: no whitespace, keys in the order written,
// shortest round-trip doubles. Streaming callers write part of a document, move the buffer's
// bytes out (takeBuffer or write + clearBuffer) and go on; the writer remembers where it is.
// Owned by one thread.
#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QStringView>

#include <vector>

class JsonWriter
{
public:
    JsonWriter() = default;

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // A key inside an object; keys are ASCII identifiers of the model.
    void key(QLatin1StringView name);

    void string(QStringView text);
    // A string given as valid UTF-8 (the caller guarantees it): the bytes go out as they are, only
    // quotes, backslashes and control characters escaped, exactly as string() writes the same text.
    void utf8String(QByteArrayView utf8);
    void boolean(bool value);
    void integer(qint64 value);
    // Finite values as JSON numbers (shortest form that reads back to the same double; negative
    // zero keeps its sign); infinities as "+" and "-", not-a-number as "NAN".
    void number(double value);
    // Seconds since 1970 written as milliseconds since 1970, fraction kept.
    void date(double secondsSince1970);
    // Bytes that already are one complete JSON value.
    void rawValue(QByteArrayView json);

    const QByteArray &buffer() const { return m_buffer; }
    // Empties the buffer but keeps its capacity.
    void clearBuffer();
    QByteArray takeBuffer();

private:
    void beforeValue();
    // Makes room for `bytes` more bytes past the current size and returns where they start.
    char *grow(qsizetype bytes);

    QByteArray m_buffer;
    // Per open container: whether a value has been written into it yet.
    std::vector<bool> m_hasValue;
    bool m_afterKey = false;
};
