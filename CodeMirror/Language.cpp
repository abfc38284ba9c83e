#include "CodeMirror/Language.h"

QString rawValue(Language language)
{
    switch (language) {
    case Language::Javascript:
        return QStringLiteral("javascript");
    case Language::Json:
        return QStringLiteral("json");
    case Language::Html:
        return QStringLiteral("html");
    case Language::Css:
        return QStringLiteral("css");
    case Language::Xml:
        return QStringLiteral("xml");
    case Language::Txt:
        return QStringLiteral("txt");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<Language> languageFromRawValue(QStringView raw)
{
    for (Language language : kAllLanguages) {
        if (raw == rawValue(language))
            return language;
    }
    return std::nullopt;
}
