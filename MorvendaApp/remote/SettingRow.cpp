#include "SettingRow.h"

#include "SettingFilters.h"
#include "SettingNumber.h"

#include "MorvendaApp/session/SettingsManager.h"

std::optional<Setting::Value> SettingRow::fieldValue(const Setting &setting) const
{
    switch (setting.defaultValue.kind()) {
    case Setting::Value::Kind::Boolean:
        return std::nullopt;
    case Setting::Value::Kind::Number:
        if (const std::optional<double> number = SettingNumber::parse(fieldText))
            return Setting::Value::number(*number);
        return std::nullopt;
    case Setting::Value::Kind::String:
        break;
    }
    return Setting::Value::string(fieldText);
}

SettingRow SettingRow::make(const Setting &setting, const std::optional<QString> &typedText)
{
    SettingRow row;
    const Setting::Value::Kind kind = setting.defaultValue.kind();
    row.editor = kind == Setting::Value::Kind::Boolean ? Editor::Boolean : Editor::Text;
    if (setting.overrideValue) {
        if (const Setting::BoolState *state = setting.overrideValue->asBoolean())
            row.pickerState = *state;
    }
    row.isOn = SettingsManager::isOn(setting);
    row.isOverriding = SettingFilters::isOverriding(setting);
    const QString display = SettingsManager::displayValue(setting);
    row.fieldText = typedText.value_or(display);
    row.showsSendButton = row.editor == Editor::Text && row.fieldText != display;
    row.showsInvalidNumber = row.showsSendButton && kind == Setting::Value::Kind::Number
        && !SettingNumber::parse(row.fieldText);
    return row;
}
