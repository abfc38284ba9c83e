#include "SettingsManager.h"

#include "MorvendaModel/SettingOverride.h"

#include <charconv>
#include <cmath>

namespace {

const Setting::Value &effectiveValue(const Setting &setting)
{
    return setting.overrideValue ? *setting.overrideValue : setting.serverValue;
}

// Decimal text like the original platform's: shortest digits that read back to the same double,
// plain notation for exponents -4 … 15 with at least one decimal place ("3.0"), exponent
// notation outside it ("1e+16", "1.5e-05").
QString decimalText(double value)
{
    if (std::isnan(value)) {
        return QStringLiteral("nan");
    }
    if (std::isinf(value)) {
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    }
    char buffer[64];
    const auto scientific = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const QByteArray text(buffer, scientific.ptr - buffer);
    const qsizetype e = text.indexOf('e');
    const int exponent = text.mid(e + 1).toInt();
    if (exponent < -4 || exponent >= 16) {
        const QByteArray digits = QByteArray::number(std::abs(exponent)).rightJustified(2, '0');
        return QString::fromLatin1(text.left(e) + (exponent < 0 ? "e-" : "e+") + digits);
    }
    const auto fixed = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    QByteArray plain(buffer, fixed.ptr - buffer);
    if (!plain.contains('.')) {
        plain += ".0";
    }
    return QString::fromLatin1(plain);
}

} // namespace

SettingsManager::SettingsManager(QString mobileProtobufKey, QObject *parent)
    : QObject(parent)
    , m_mobileProtobufKey(std::move(mobileProtobufKey))
{
}

void SettingsManager::storeSettings(const QString &connectionName, QList<Setting> settings)
{
    m_settings.insert(connectionName, std::move(settings));
    emit hasUpdatedSettings();
}

void SettingsManager::checkBinaryDecode(const QList<Setting> &settings)
{
    if (m_hasPresentedBinaryDecodeAlert) {
        return;
    }
    const auto found = std::find_if(settings.cbegin(), settings.cend(),
                                    [this](const Setting &s) { return s.key == m_mobileProtobufKey; });
    if (found == settings.cend() || !isOn(*found)) {
        return;  // stays armed for later lists
    }
    m_hasPresentedBinaryDecodeAlert = true;
    AlertPresentingDelegate *delegate = alertPresentingDelegate();
    if (!delegate) {
        return;
    }
    QPointer<QObject> lifetime = m_delegateLifetime;
    const QString key = m_mobileProtobufKey;
    // The action goes to whichever connection is active when it is pressed.
    auto disable = [lifetime, delegate, key] {
        if (lifetime) {
            delegate->sendToActiveConnection(
                AppPayload::settingOverride(SettingOverride(key, Setting::Value::boolean(Setting::BoolState::Off))));
        }
    };
    delegate->presentAlert(Alert::ViewState::binaryDecodingAlert(std::move(disable)));
}

bool SettingsManager::isOn(const Setting &setting)
{
    const Setting::Value &value = effectiveValue(setting);
    const Setting::BoolState *state = value.asBoolean();
    if (!state) {
        return false;
    }
    switch (*state) {
    case Setting::BoolState::On:
        return true;
    case Setting::BoolState::Off:
        return false;
    case Setting::BoolState::Server: {
        const Setting::BoolState *server = setting.serverValue.asBoolean();
        return server && *server == Setting::BoolState::On;
    }
    }
    return false;
}

QString SettingsManager::displayValue(const Setting &setting)
{
    const Setting::Value &value = effectiveValue(setting);
    if (const Setting::BoolState *state = value.asBoolean()) {
        if (*state != Setting::BoolState::Server) {
            return Setting::rawValue(*state);
        }
        const Setting::BoolState *server = setting.serverValue.asBoolean();
        return server ? Setting::rawValue(*server) : QStringLiteral("no-server-value");
    }
    if (const double *number = value.asNumber()) {
        return decimalText(*number);
    }
    return *value.asString();
}
