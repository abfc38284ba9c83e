#include "L10n.h"

#include "L10nTable.h"

#include <QHash>
#include <QLoggingCategory>
#include <QSet>

Q_LOGGING_CATEGORY(lcL10n, "morvenda.L10n")

namespace L10n {
namespace {

struct Table
{
    QHash<QByteArray, QString> english;
    QHash<QByteArray, QString> cache; // resolved texts, filled on first use
    QSet<QByteArray> reportedMissing;

    Table()
    {
        english.reserve(int(detail::kEntryCount));
        for (std::size_t i = 0; i < detail::kEntryCount; ++i)
            english.insert(QByteArray(detail::kEntries[i].key), QString::fromUtf8(detail::kEntries[i].english));
    }
};

Table &table()
{
    static Table t;
    return t;
}

QString argumentText(const QVariant &value)
{
    return value.toString();
}

} // namespace

QString englishDefault(const char *key)
{
    return table().english.value(QByteArray(key));
}

QStringList allKeys()
{
    QStringList keys;
    for (std::size_t i = 0; i < detail::kEntryCount; ++i)
        keys.append(QString::fromUtf8(detail::kEntries[i].key));
    return keys;
}

QString text(const char *key)
{
    Table &t = table();
    const QByteArray k(key);
    const auto cached = t.cache.constFind(k);
    if (cached != t.cache.constEnd())
        return *cached;
    QString value = t.english.value(k);
    if (value.isNull()) {
        if (!t.reportedMissing.contains(k)) {
            t.reportedMissing.insert(k);
            qCWarning(lcL10n) << "no text for key" << k;
        }
        value = QString::fromUtf8(k);
    }
    t.cache.insert(k, value);
    return value;
}

QString format(const char *key, const QVariantList &args)
{
    return formatText(text(key), args);
}

QString formatText(const QString &pattern, const QVariantList &args)
{
    if (args.isEmpty())
        return pattern;

    QString out;
    out.reserve(pattern.size() + 16);
    qsizetype next = 0;
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = pattern.at(i);
        if (c != u'%' || i + 1 >= n) {
            out.append(c);
            continue;
        }
        const QStringView rest = QStringView(pattern).mid(i + 1);
        auto take = [&](qsizetype len, auto render) {
            if (next < args.size()) {
                out.append(render(args.at(next++)));
            } else {
                out.append(QStringView(pattern).mid(i, len + 1));
            }
            i += len;
        };
        if (rest.startsWith(u'%')) {
            out.append(u'%');
            ++i;
        } else if (rest.startsWith(u'@')) {
            take(1, argumentText);
        } else if (rest.startsWith(u"lld") || rest.startsWith(u"llu")) {
            take(3, [](const QVariant &v) { return QString::number(v.toLongLong()); });
        } else if (rest.startsWith(u"ld") || rest.startsWith(u"lu")) {
            take(2, [](const QVariant &v) { return QString::number(v.toLongLong()); });
        } else if (rest.startsWith(u'd')) {
            take(1, [](const QVariant &v) { return QString::number(v.toLongLong()); });
        } else if (rest.startsWith(u"lf")) {
            take(2, [](const QVariant &v) { return QString::number(v.toDouble(), 'f', 6); });
        } else if (rest.startsWith(u'f')) {
            take(1, [](const QVariant &v) { return QString::number(v.toDouble(), 'f', 6); });
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace L10n
