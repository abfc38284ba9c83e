// A feature setting (experiment) as a connected app holds it, and the value one-of it carries.
// Plain values; fields may be replaced after construction.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <variant>

struct Setting
{
    // Three-state switch; the raw values "server", "on", "off" are its wire form and identity.
    enum class BoolState { Server, On, Off };

    // One of a state, a 64-bit floating-point number or a text.
    class Value
    {
    public:
        enum class Kind { Boolean, Number, String };

        static Value boolean(BoolState state);
        static Value number(double number);
        static Value string(const QString &text);

        Kind kind() const;
        // The payload of the case, or nullptr for another case.
        const BoolState *asBoolean() const;
        const double *asNumber() const;
        const QString *asString() const;

        // Same case and equal payloads: numbers by floating-point equality (NaN equals nothing,
        // 0 equals -0), texts by canonical equivalence.
        friend bool operator==(const Value &a, const Value &b);

    private:
        explicit Value(std::variant<BoolState, double, QString> value);
        std::variant<BoolState, double, QString> m_value;
    };

    QString name;
    // The identity of the setting.
    QString key;
    QString directlyResponsibleEngineerName;
    std::optional<Value> overrideValue;
    Value defaultValue;
    Value serverValue;

    Setting(QString name, QString key, QString directlyResponsibleEngineerName,
            std::optional<Value> overrideValue, Value defaultValue, Value serverValue);

    const QString &id() const { return key; }

    // All six fields in order.
    friend bool operator==(const Setting &a, const Setting &b);

    static QString rawValue(BoolState state);
    // Exactly "server", "on" or "off" (case-sensitive), otherwise empty.
    static std::optional<BoolState> boolStateFromRawValue(QStringView text);
    // Server, On, Off: the order the override panel offers them in.
    static QList<BoolState> allBoolStates();
};

size_t qHash(Setting::BoolState state, size_t seed = 0);
