// The preferences window: one "General" tab holding GeneralSettingsView. Made by the application
// and shown from the application menu; it keeps no state of its own. Main thread.
#pragma once

#include <QWidget>

class Preferences;
class GeneralSettingsView;
class QTabWidget;

class PreferencesView : public QWidget
{
    Q_OBJECT

public:
    explicit PreferencesView(Preferences &preferences, QWidget *parent = nullptr);

    GeneralSettingsView *generalSettings() const { return m_general; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void tintTabIcon();

    QTabWidget *m_tabs = nullptr;
    GeneralSettingsView *m_general = nullptr;
};
