// What one row of the settings panel shows and offers, derived from its setting and the text the
// developer has typed into it. Pure function of its inputs, so the painted row and the tests
// agree on one rule.
#pragma once

#include "MorvendaModel/Setting.h"

#include <QString>

#include <optional>

struct SettingRow
{
    enum class Editor { Boolean, Text };

    Editor editor = Editor::Text;
    // The highlighted state button: the override's state when it is a boolean, else server.
    Setting::BoolState pickerState = Setting::BoolState::Server;
    bool isOn = false;
    bool isOverriding = false;
    // The text field's content: what was typed, else the effective value's text.
    QString fieldText;
    // The field differs from the effective value's text.
    bool showsSendButton = false;
    // A numeric setting whose field is not a number.
    bool showsInvalidNumber = false;

    bool sendEnabled() const { return showsSendButton && !showsInvalidNumber; }
    // The value a send of the field would ask for; nothing for a boolean row or a non-number.
    std::optional<Setting::Value> fieldValue(const Setting &setting) const;

    static SettingRow make(const Setting &setting, const std::optional<QString> &typedText);
};
