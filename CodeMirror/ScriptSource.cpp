#include "CodeMirror/ScriptSource.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace ScriptSource {
namespace {

// How many characters `c` takes inside a string literal: 1 as it is, 2 as a short escape, 6 as
// \uXXXX. `next` is the following character (0 at the end), for telling pairs from halves.
int escapedLength(char16_t c, char16_t next)
{
    if (c >= 0x20 && c != u'"' && c != u'\\' && c != 0x2028 && c != 0x2029 && !QChar::isSurrogate(c))
        return 1;
    switch (c) {
    case u'"':
    case u'\\':
    case u'\n':
    case u'\r':
    case u'\t':
        return 2;
    default:
        break;
    }
    // A well-formed surrogate pair is plain text; only an unpaired half is escaped.
    if (QChar::isHighSurrogate(c) && QChar::isLowSurrogate(next))
        return 1;
    return 6;
}

char16_t *writeEscape(char16_t *out, char16_t c)
{
    static constexpr char hex[] = "0123456789abcdef";
    *out++ = u'\\';
    switch (c) {
    case u'"':
        *out++ = u'"';
        return out;
    case u'\\':
        *out++ = u'\\';
        return out;
    case u'\n':
        *out++ = u'n';
        return out;
    case u'\r':
        *out++ = u'r';
        return out;
    case u'\t':
        *out++ = u't';
        return out;
    default:
        break;
    }
    *out++ = u'u';
    *out++ = char16_t(hex[(c >> 12) & 0xF]);
    *out++ = char16_t(hex[(c >> 8) & 0xF]);
    *out++ = char16_t(hex[(c >> 4) & 0xF]);
    *out++ = char16_t(hex[c & 0xF]);
    return out;
}

bool isIdentifier(const QString &name)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_$][A-Za-z0-9_$]*$"));
    return identifier.match(name).hasMatch();
}

} // namespace

QString stringLiteral(QStringView text)
{
    // Two passes over the text (measure, then write into a buffer of the exact size): bodies run
    // to tens of megabytes and this runs on the main thread.
    const char16_t *in = text.utf16();
    const qsizetype size = text.size();
    qsizetype length = 2;
    for (qsizetype i = 0; i < size; ++i) {
        const int n = escapedLength(in[i], i + 1 < size ? in[i + 1] : 0);
        length += n;
        if (n == 1 && QChar::isHighSurrogate(in[i])) {
            ++length;
            ++i;
        }
    }
    QString literal(length, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(literal.data());
    *out++ = u'"';
    if (length == size + 2) {
        std::copy(in, in + size, out);
        out += size;
    } else {
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t c = in[i];
            const int n = escapedLength(c, i + 1 < size ? in[i + 1] : 0);
            if (n == 1) {
                *out++ = c;
                if (QChar::isHighSurrogate(c))
                    *out++ = in[++i];
            } else {
                out = writeEscape(out, c);
            }
        }
    }
    *out++ = u'"';
    Q_ASSERT(out == reinterpret_cast<char16_t *>(literal.data()) + length);
    return literal;
}

tl::expected<QString, QString> literal(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("null");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QString:
        return stringLiteral(value.toString());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (!std::isfinite(number))
            return tl::unexpected(QStringLiteral("a non-finite number has no JSON literal"));
        return QString::number(number, 'g', 17);
    }
    default:
        return tl::unexpected(
            QStringLiteral("an argument of type %1 has no JSON literal").arg(QString::fromLatin1(value.typeName())));
    }
}

tl::expected<QString, QString> wrappedCall(const JavascriptFunction &function)
{
    QStringList names;
    QString values;
    for (auto it = function.args.cbegin(); it != function.args.cend(); ++it) {
        if (!isIdentifier(it.key()))
            return tl::unexpected(QStringLiteral("argument name \"%1\" is not an identifier").arg(it.key()));
        auto value = literal(it.value());
        if (!value)
            return tl::unexpected(QStringLiteral("argument \"%1\": %2").arg(it.key(), value.error()));
        names << it.key();
        if (!values.isEmpty())
            values += u',';
        values += *value;
    }
    // The result is cut down to what survives the trip back to C++: texts, numbers, booleans,
    // and plain data through a JSON round trip; functions and other host objects become null.
    return QStringLiteral("(function(") % names.join(u',')
        % QStringLiteral(") {\"use strict\";\ntry {\nconst r = (") % function.functionString
        % QStringLiteral(
            ");\n"
            "if (r === undefined || r === null || typeof r === \"function\" || typeof r === \"symbol\") return {ok: null};\n"
            "if (typeof r !== \"object\") return {ok: r};\n"
            "try { return {ok: JSON.parse(JSON.stringify(r))}; } catch (e) { return {ok: null}; }\n"
            "} catch (e) {\n"
            "return {err: String((e && e.message) || e)};\n"
            "}\n})(")
        % values % u')';
}

tl::expected<QVariant, QString> readAnswer(const QVariant &answer)
{
    const QVariantMap map = answer.toMap();
    if (answer.typeId() != QMetaType::QVariantMap || (!map.contains(QStringLiteral("ok")) && !map.contains(QStringLiteral("err"))))
        return tl::unexpected(QStringLiteral("the editor page gave no answer"));
    if (map.contains(QStringLiteral("err")))
        return tl::unexpected(map.value(QStringLiteral("err")).toString());
    const QVariant value = map.value(QStringLiteral("ok"));
    if (!value.isValid() || value.isNull())
        return QVariant();
    return value;
}

} // namespace ScriptSource
