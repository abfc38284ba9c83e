// The state of one settings panel: the active app's settings as last read, the filters, the
// filtered list it shows and the text typed into its rows. Sends the overrides the rows ask for.
// One per panel view, which owns it; main thread only.
#pragma once

#include "SettingFilters.h"
#include "SettingRow.h"

#include "MorvendaApp/session/ActiveApp.h"
#include "MorvendaModel/Setting.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class MorvendaListener;
class SettingsManager;

class SettingsListViewModel : public QObject
{
    Q_OBJECT

public:
    SettingsListViewModel(MorvendaListener &listener, SettingsManager &settingsManager, QObject *parent = nullptr);

    // Published state: each setter stores, notifies and recomputes the list.
    const QString &textFilter() const { return m_textFilter; }
    void setTextFilter(const QString &text);
    std::optional<SettingTypeFilter> settingTypeFilter() const { return m_typeFilter; }
    void setSettingTypeFilter(std::optional<SettingTypeFilter> filter);
    std::optional<SettingStateFilter> settingStateFilter() const { return m_stateFilter; }
    void setSettingStateFilter(std::optional<SettingStateFilter> filter);
    // A chip's tap: selects the chip, or clears its row when it is the selected one.
    void toggleTypeFilter(SettingTypeFilter filter);
    void toggleStateFilter(SettingStateFilter filter);

    // What the list shows, and the active app's whole list it was filtered from.
    const QList<Setting> &items() const { return m_items; }
    const QList<Setting> &settings() const { return m_settings; }
    // "shown/total", and the text of an empty list.
    QString countText() const;
    QString emptyText() const;

    // Called each time the panel is shown: reads the active app's settings and, the first time
    // an app is active, starts following the settings messages. With no app active nothing
    // is read and nothing followed yet.
    void bind();
    bool isBound() const { return m_bound; }

    // Controls that send are enabled only while an app is active and still connected.
    bool canSend() const;
    const ActiveApp &activeApp() const { return m_activeApp; }

    SettingRow row(const Setting &setting) const;
    // The text in the row of `key`'s field; kept while that row stays listed.
    void setTypedText(const QString &key, const QString &text);
    void sendBoolOverride(const Setting &setting, Setting::BoolState state);
    // Sends the row's field as the setting's kind asks; a numeric field that is not a number
    // and a boolean setting send nothing.
    void sendValueOverride(const Setting &setting);

signals:
    void textFilterChanged(const QString &text);
    void filtersChanged();
    void itemsChanged(const QList<Setting> &items);
    void canSendChanged(bool canSend);
    void typedTextChanged(const QString &key);

private:
    void update();
    void send(const QString &key, const Setting::Value &value);

    MorvendaListener &m_listener;
    SettingsManager &m_settingsManager;
    ActiveApp m_activeApp;
    QString m_textFilter;
    std::optional<SettingTypeFilter> m_typeFilter;
    std::optional<SettingStateFilter> m_stateFilter;
    QList<Setting> m_items;
    QList<Setting> m_settings;
    QHash<QString, QString> m_typedTexts;
    bool m_bound = false;
};
