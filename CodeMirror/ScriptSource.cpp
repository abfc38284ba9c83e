#include "CodeMirror/ScriptSource.h"

#include <QRegularExpression>

#include <cmath>

namespace ScriptSource {
namespace {

// Characters that can be copied into a string literal as they are.
bool isPlain(char16_t c)
{
    return c >= 0x20 && c != u'"' && c != u'\\' && c != 0x2028 && c != 0x2029
        && !QChar::isSurrogate(c);
}

void appendEscape(QString &out, char16_t c)
{
    switch (c) {
    case u'"':
        out += QLatin1StringView("\\\"");
        return;
    case u'\\':
        out += QLatin1StringView("\\\\");
        return;
    case u'\n':
        out += QLatin1StringView("\\n");
        return;
    case u'\r':
        out += QLatin1StringView("\\r");
        return;
    case u'\t':
        out += QLatin1StringView("\\t");
        return;
    default:
        break;
    }
    static constexpr char hex[] = "0123456789abcdef";
    const char16_t escape[6] = {u'\\', u'u', char16_t(hex[(c >> 12) & 0xF]),
        char16_t(hex[(c >> 8) & 0xF]), char16_t(hex[(c >> 4) & 0xF]), char16_t(hex[c & 0xF])};
    out.append(reinterpret_cast<const QChar *>(escape), 6);
}

bool isIdentifier(const QString &name)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_$][A-Za-z0-9_$]*$"));
    return identifier.match(name).hasMatch();
}

} // namespace

QString stringLiteral(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16 + 2);
    out += u'"';
    const char16_t *data = text.utf16();
    const qsizetype size = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i];
        if (isPlain(c))
            continue;
        // A well-formed surrogate pair is plain text; only an unpaired half is escaped.
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(data[i + 1])) {
            ++i;
            continue;
        }
        out.append(reinterpret_cast<const QChar *>(data + runStart), i - runStart);
        appendEscape(out, c);
        runStart = i + 1;
    }
    out.append(reinterpret_cast<const QChar *>(data + runStart), size - runStart);
    out += u'"';
    return out;
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
