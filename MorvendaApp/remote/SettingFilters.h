// The narrowing rules of the settings panel: by free text, by the kind of a setting's default
// value and by whether an override is in force. Each keeps the input order. Pure functions.
#pragma once

#include "MorvendaModel/Setting.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

enum class SettingTypeFilter { BoolExperiments, StringExperiments, NumericExperiments };
enum class SettingStateFilter { Overriding, NotOverriding };

namespace SettingFilters {

// Bool, string, numeric: the order the chips show them in.
const QList<SettingTypeFilter> &allTypeFilters();
const QList<SettingStateFilter> &allStateFilters();
// The case names ("boolExperiments", "notOverriding"), also their identities.
QString rawValue(SettingTypeFilter filter);
QString rawValue(SettingStateFilter filter);
std::optional<SettingTypeFilter> typeFilterFromRawValue(QStringView text);
std::optional<SettingStateFilter> stateFilterFromRawValue(QStringView text);

// An override is in force: present and not the boolean "server" state.
bool isOverriding(const Setting &setting);

// Settings whose key, name or engineer name contains `foldedText` (SearchText::fold), caseless
// and up to canonical equivalence.
QList<Setting> search(const QList<Setting> &settings, const QString &foldedText);
// Kind judged on the default value alone; no filter keeps everything.
QList<Setting> filterByType(std::optional<SettingTypeFilter> filter, const QList<Setting> &settings);
QList<Setting> filterByState(std::optional<SettingStateFilter> filter, const QList<Setting> &settings);
// Text (when not empty), then kind, then state.
QList<Setting> apply(const QList<Setting> &settings, const QString &text, std::optional<SettingTypeFilter> type,
    std::optional<SettingStateFilter> state);

} // namespace SettingFilters
