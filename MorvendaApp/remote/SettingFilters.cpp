#include "SettingFilters.h"

#include "SearchText.h"

#include <algorithm>

namespace SettingFilters {
namespace {

template<typename Keep>
QList<Setting> keepIf(const QList<Setting> &settings, Keep keep)
{
    QList<Setting> out;
    for (const Setting &setting : settings) {
        if (keep(setting))
            out.append(setting);
    }
    return out;
}

Setting::Value::Kind kindOf(SettingTypeFilter filter)
{
    switch (filter) {
    case SettingTypeFilter::BoolExperiments:
        return Setting::Value::Kind::Boolean;
    case SettingTypeFilter::StringExperiments:
        return Setting::Value::Kind::String;
    case SettingTypeFilter::NumericExperiments:
        break;
    }
    return Setting::Value::Kind::Number;
}

} // namespace

const QList<SettingTypeFilter> &allTypeFilters()
{
    static const QList<SettingTypeFilter> all = {SettingTypeFilter::BoolExperiments,
        SettingTypeFilter::StringExperiments, SettingTypeFilter::NumericExperiments};
    return all;
}

const QList<SettingStateFilter> &allStateFilters()
{
    static const QList<SettingStateFilter> all = {SettingStateFilter::Overriding, SettingStateFilter::NotOverriding};
    return all;
}

QString rawValue(SettingTypeFilter filter)
{
    switch (filter) {
    case SettingTypeFilter::BoolExperiments:
        return QStringLiteral("boolExperiments");
    case SettingTypeFilter::StringExperiments:
        return QStringLiteral("stringExperiments");
    case SettingTypeFilter::NumericExperiments:
        break;
    }
    return QStringLiteral("numericExperiments");
}

QString rawValue(SettingStateFilter filter)
{
    return filter == SettingStateFilter::Overriding ? QStringLiteral("overriding") : QStringLiteral("notOverriding");
}

std::optional<SettingTypeFilter> typeFilterFromRawValue(QStringView text)
{
    for (SettingTypeFilter filter : allTypeFilters()) {
        if (text == rawValue(filter))
            return filter;
    }
    return std::nullopt;
}

std::optional<SettingStateFilter> stateFilterFromRawValue(QStringView text)
{
    for (SettingStateFilter filter : allStateFilters()) {
        if (text == rawValue(filter))
            return filter;
    }
    return std::nullopt;
}

bool isOverriding(const Setting &setting)
{
    return setting.overrideValue && !(*setting.overrideValue == Setting::Value::boolean(Setting::BoolState::Server));
}

QList<Setting> search(const QList<Setting> &settings, const QString &foldedText)
{
    return keepIf(settings, [&](const Setting &setting) {
        return SearchText::contains(setting.key, foldedText) || SearchText::contains(setting.name, foldedText)
            || SearchText::contains(setting.directlyResponsibleEngineerName, foldedText);
    });
}

QList<Setting> filterByType(std::optional<SettingTypeFilter> filter, const QList<Setting> &settings)
{
    if (!filter)
        return settings;
    const Setting::Value::Kind kind = kindOf(*filter);
    return keepIf(settings, [kind](const Setting &setting) { return setting.defaultValue.kind() == kind; });
}

QList<Setting> filterByState(std::optional<SettingStateFilter> filter, const QList<Setting> &settings)
{
    if (!filter)
        return settings;
    const bool wanted = *filter == SettingStateFilter::Overriding;
    return keepIf(settings, [wanted](const Setting &setting) { return isOverriding(setting) == wanted; });
}

QList<Setting> apply(const QList<Setting> &settings, const QString &text, std::optional<SettingTypeFilter> type,
    std::optional<SettingStateFilter> state)
{
    QList<Setting> list = text.isEmpty() ? settings : search(settings, SearchText::fold(text));
    return filterByState(state, filterByType(type, list));
}

} // namespace SettingFilters
