#include "SettingsListViewModel.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"

#include <QSet>

SettingsListViewModel::SettingsListViewModel(MorvendaListener &listener, SettingsManager &settingsManager,
    QObject *parent)
    : QObject(parent)
    , m_listener(listener)
    , m_settingsManager(settingsManager)
    , m_activeApp(listener)
{
    // Another app chosen: its settings replace the last one's at once, so a tap never sends the
    // previous app's key to the new one.
    connect(&m_listener, &MorvendaListener::activeConnectionChanged, this,
        [this](const MorvendaListener::ConnectionPtr &connection) {
            if (m_bound && connection)
                update();
        });
    connect(&m_activeApp, &ActiveApp::changed, this, [this] { emit canSendChanged(canSend()); });
}

void SettingsListViewModel::setTextFilter(const QString &text)
{
    m_textFilter = text;
    emit textFilterChanged(text);
    update();
}

void SettingsListViewModel::setSettingTypeFilter(std::optional<SettingTypeFilter> filter)
{
    m_typeFilter = filter;
    emit filtersChanged();
    update();
}

void SettingsListViewModel::setSettingStateFilter(std::optional<SettingStateFilter> filter)
{
    m_stateFilter = filter;
    emit filtersChanged();
    update();
}

void SettingsListViewModel::toggleTypeFilter(SettingTypeFilter filter)
{
    setSettingTypeFilter(m_typeFilter == filter ? std::nullopt : std::optional(filter));
}

void SettingsListViewModel::toggleStateFilter(SettingStateFilter filter)
{
    setSettingStateFilter(m_stateFilter == filter ? std::nullopt : std::optional(filter));
}

QString SettingsListViewModel::countText() const
{
    return L10n::tr("%lld/%lld", qint64(m_items.size()), qint64(m_settings.size()));
}

QString SettingsListViewModel::emptyText() const
{
    return L10n::text(m_textFilter.isEmpty() ? "Setting.noData" : "Setting.noFilterMatch");
}

void SettingsListViewModel::bind()
{
    if (!m_listener.activeConnection())
        return;
    update();
    if (!m_bound) {
        // Once per model, however often the panel is shown again.
        m_bound = true;
        connect(&m_settingsManager, &SettingsManager::hasUpdatedSettings, this, &SettingsListViewModel::update);
    }
}

bool SettingsListViewModel::canSend() const
{
    return m_activeApp.isReachable();
}

void SettingsListViewModel::update()
{
    const MorvendaListener::ConnectionPtr connection = m_listener.activeConnection();
    if (!connection)
        return;
    m_settings = m_settingsManager.settings().value(connection->displayName());
    m_items = SettingFilters::apply(m_settings, m_textFilter, m_typeFilter, m_stateFilter);
    // A row that leaves the list forgets what was typed into it.
    if (!m_typedTexts.isEmpty()) {
        QSet<QString> listed;
        for (const Setting &setting : std::as_const(m_items))
            listed.insert(setting.key);
        m_typedTexts.removeIf([&](const auto &entry) { return !listed.contains(entry.key()); });
    }
    emit itemsChanged(m_items);
}

SettingRow SettingsListViewModel::row(const Setting &setting) const
{
    const auto typed = m_typedTexts.constFind(setting.key);
    return SettingRow::make(setting, typed == m_typedTexts.cend() ? std::nullopt : std::optional(*typed));
}

void SettingsListViewModel::setTypedText(const QString &key, const QString &text)
{
    m_typedTexts.insert(key, text);
    emit typedTextChanged(key);
}

void SettingsListViewModel::sendBoolOverride(const Setting &setting, Setting::BoolState state)
{
    send(setting.key, Setting::Value::boolean(state));
}

void SettingsListViewModel::sendValueOverride(const Setting &setting)
{
    if (const std::optional<Setting::Value> value = row(setting).fieldValue(setting))
        send(setting.key, *value);
}

void SettingsListViewModel::send(const QString &key, const Setting::Value &value)
{
    // A gone app would only answer with the send-failure alert; the panel says it is gone.
    if (canSend())
        m_listener.send(AppPayload::settingOverride(SettingOverride(key, value)), m_listener.activeConnection());
}
