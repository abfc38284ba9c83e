#include "L10n.h"

#include "L10nTable.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRecursiveMutex>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QLoggingCategory>
#include <QSet>

Q_LOGGING_CATEGORY(lcL10n, "morvenda.L10n")

namespace L10n {
namespace {

struct Table
{
    QHash<QByteArray, QString> english;
    QHash<QByteArray, QString> translated;
    QHash<QByteArray, QString> cache; // resolved texts, filled on first use
    QSet<QByteArray> reportedMissing;
    bool translationsLoaded = false;

    Table()
    {
        english.reserve(qsizetype(detail::kEntryCount));
        for (std::size_t i = 0; i < detail::kEntryCount; ++i)
            english.insert(QByteArray(detail::kEntries[i].key), QString::fromUtf8(detail::kEntries[i].english));
    }
};

Table &table()
{
    static Table t;
    return t;
}

// Charts format their labels on worker threads while the window looks texts up: every use of
// the table holds this. Recursive: the first lookup loads the translations.
QRecursiveMutex &tableMutex()
{
    static QRecursiveMutex mutex;
    return mutex;
}

Table &loadedTable()
{
    Table &t = table();
    if (!t.translationsLoaded)
        loadTranslations(QLocale::system().uiLanguages());
    return t;
}

// One "%…" directive at the start of `rest` (the text after the "%"): its length without the
// "%" and its kind. Kind 0 is "%%", -1 is no directive.
enum class Kind { None, Percent, Object, Integer, Real };
struct Directive
{
    Kind kind = Kind::None;
    qsizetype length = 0;
};

Directive directiveAt(QStringView rest)
{
    struct Form
    {
        const char16_t *text;
        Kind kind;
    };
    static constexpr Form forms[] = {
        {u"%", Kind::Percent}, {u"@", Kind::Object}, {u"lld", Kind::Integer}, {u"llu", Kind::Integer},
        {u"ld", Kind::Integer}, {u"lu", Kind::Integer}, {u"d", Kind::Integer}, {u"lf", Kind::Real},
        {u"f", Kind::Real},
    };
    for (const Form &form : forms) {
        const QStringView f(form.text);
        if (rest.startsWith(f))
            return {form.kind, f.size()};
    }
    return {};
}

QString integerText(const QVariant &value)
{
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    return ok ? QString::number(n) : value.toString();
}

QString realText(const QVariant &value)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    return ok ? QString::number(d, 'f', 6) : value.toString();
}

QString render(Kind kind, const QVariant &value)
{
    switch (kind) {
    case Kind::Integer:
        return integerText(value);
    case Kind::Real:
        return realText(value);
    default:
        return value.toString();
    }
}

QString languageFile(const QString &folder, const QStringList &uiLanguages)
{
    QStringList names;
    for (const QString &language : uiLanguages) {
        QString name = language;
        name.replace(u'-', u'_');
        names.append(name);
        const qsizetype cut = name.indexOf(u'_');
        if (cut > 0)
            names.append(name.left(cut));
    }
    for (const QString &name : std::as_const(names)) {
        const QString path = folder + u'/' + name + u".json";
        if (QFile::exists(path))
            return path;
    }
    return {};
}

// Reads one translation file; entries that would show wrong or lose an argument are dropped
// with a log line, so a broken translation never hides the English text.
QHash<QByteArray, QString> readTranslations(const QString &path, const QHash<QByteArray, QString> &english)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcL10n) << "cannot read translations" << path << file.errorString();
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcL10n) << "translations ignored:" << path << "is not a JSON object:" << error.errorString();
        return {};
    }
    QHash<QByteArray, QString> texts;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QByteArray key = it.key().toUtf8();
        const auto original = english.constFind(key);
        if (original == english.constEnd()) {
            qCWarning(lcL10n) << "translation for unknown key ignored:" << it.key() << "in" << path;
        } else if (!it.value().isString()) {
            qCWarning(lcL10n) << "translation of" << it.key() << "is not a text; English kept";
        } else if (placeholders(it.value().toString()) != placeholders(*original)) {
            qCWarning(lcL10n) << "translation of" << it.key() << "has other placeholders than"
                              << *original << "; English kept";
        } else {
            texts.insert(key, it.value().toString());
        }
    }
    return texts;
}

} // namespace

QString loadTranslations(const QStringList &uiLanguages, const QString &folder)
{
    const QMutexLocker lock(&tableMutex());
    Table &t = table();
    t.translationsLoaded = true;
    t.cache.clear();
    t.translated.clear();
    const QString path = languageFile(folder, uiLanguages);
    if (!path.isEmpty())
        t.translated = readTranslations(path, t.english);
    return path;
}

QString englishDefault(const char *key)
{
    const QMutexLocker lock(&tableMutex());
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
    const QMutexLocker lock(&tableMutex());
    Table &t = loadedTable();
    // Views ask on every redraw: look the cache up without copying the key.
    const auto cached = t.cache.constFind(QByteArray::fromRawData(key, qsizetype(qstrlen(key))));
    if (cached != t.cache.constEnd())
        return *cached;
    const QByteArray k(key);
    QString value = t.translated.value(k);
    if (value.isNull())
        value = t.english.value(k);
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

QString textOrKey(const QString &key)
{
    const QMutexLocker lock(&tableMutex());
    Table &t = loadedTable();
    const QByteArray k = key.toUtf8();
    QString value = t.translated.value(k);
    if (value.isNull())
        value = t.english.value(k);
    return value.isNull() ? key : value;
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
        const Directive d = c == u'%' ? directiveAt(QStringView(pattern).mid(i + 1)) : Directive{};
        if (d.kind == Kind::None) {
            out.append(c);
        } else if (d.kind == Kind::Percent) {
            out.append(u'%');
        } else if (next < args.size()) {
            out.append(render(d.kind, args.at(next++)));
        } else {
            out.append(QStringView(pattern).mid(i, d.length + 1));
        }
        i += d.length;
    }
    return out;
}

QStringList placeholders(const QString &pattern)
{
    QStringList found;
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (pattern.at(i) != u'%')
            continue;
        const Directive d = directiveAt(QStringView(pattern).mid(i + 1));
        if (d.kind != Kind::None && d.kind != Kind::Percent)
            found.append(pattern.mid(i + 1, d.length));
        i += d.length;
    }
    return found;
}

} // namespace L10n
