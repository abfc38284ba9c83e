// The one page of the preferences window: the "Appearance:" picker bound to the stored colour
// scheme. A pick is written at once; changes made elsewhere are shown. Main thread.
#pragma once

#include <QWidget>

class Preferences;
class QComboBox;

class GeneralSettingsView : public QWidget
{
    Q_OBJECT

public:
    explicit GeneralSettingsView(Preferences &preferences, QWidget *parent = nullptr);

    QComboBox *picker() const { return m_picker; }

private:
    void buildLayout();
    void connectSignals();
    void showPreference();

    Preferences &m_preferences;
    QComboBox *m_picker = nullptr;
};
