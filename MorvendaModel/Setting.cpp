#include "Setting.h"

#include "CanonicalText.h"

#include <QHash>

Setting::Value::Value(std::variant<BoolState, double, QString> value)
    : m_value(std::move(value))
{
}

Setting::Value Setting::Value::boolean(BoolState state)
{
    return Value(state);
}

Setting::Value Setting::Value::number(double number)
{
    return Value(number);
}

Setting::Value Setting::Value::string(const QString &text)
{
    return Value(text);
}

Setting::Value::Kind Setting::Value::kind() const
{
    return static_cast<Kind>(m_value.index());
}

const Setting::BoolState *Setting::Value::asBoolean() const
{
    return std::get_if<BoolState>(&m_value);
}

const double *Setting::Value::asNumber() const
{
    return std::get_if<double>(&m_value);
}

const QString *Setting::Value::asString() const
{
    return std::get_if<QString>(&m_value);
}

bool operator==(const Setting::Value &a, const Setting::Value &b)
{
    if (a.m_value.index() != b.m_value.index())
        return false;
    if (const QString *text = a.asString())
        return CanonicalText::equal(*text, *b.asString());
    return a.m_value == b.m_value;
}

Setting::Setting(QString name, QString key, QString directlyResponsibleEngineerName,
                 std::optional<Value> overrideValue, Value defaultValue, Value serverValue)
    : name(std::move(name)),
      key(std::move(key)),
      directlyResponsibleEngineerName(std::move(directlyResponsibleEngineerName)),
      overrideValue(std::move(overrideValue)),
      defaultValue(std::move(defaultValue)),
      serverValue(std::move(serverValue))
{
}

bool operator==(const Setting &a, const Setting &b)
{
    return CanonicalText::equal(a.name, b.name) && CanonicalText::equal(a.key, b.key)
        && CanonicalText::equal(a.directlyResponsibleEngineerName, b.directlyResponsibleEngineerName)
        && a.overrideValue == b.overrideValue && a.defaultValue == b.defaultValue
        && a.serverValue == b.serverValue;
}

QString Setting::rawValue(BoolState state)
{
    switch (state) {
    case BoolState::Server:
        return QStringLiteral("server");
    case BoolState::On:
        return QStringLiteral("on");
    case BoolState::Off:
        return QStringLiteral("off");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<Setting::BoolState> Setting::boolStateFromRawValue(QStringView text)
{
    for (BoolState state : allBoolStates()) {
        if (text == rawValue(state))
            return state;
    }
    return std::nullopt;
}

QList<Setting::BoolState> Setting::allBoolStates()
{
    return {BoolState::Server, BoolState::On, BoolState::Off};
}

size_t qHash(Setting::BoolState state, size_t seed)
{
    return qHash(Setting::rawValue(state), seed);
}
