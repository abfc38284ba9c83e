// The settings panel: the active app's settings, one override row each, above the filter bar
// (count, kind chips, state chips, search field). Owns its view model, which it binds each time
// it is shown. Main thread only.
#pragma once

#include <QList>
#include <QWidget>

class ChipButton;
class MorvendaListener;
class PanelList;
class QLabel;
class QLineEdit;
class QListView;
class SettingDelegate;
class SettingsListModel;
class SettingsListViewModel;
class SettingsManager;

class SettingsListView : public QWidget
{
    Q_OBJECT

public:
    SettingsListView(MorvendaListener &listener, SettingsManager &settingsManager, QWidget *parent = nullptr);
    ~SettingsListView() override;

    SettingsListViewModel &viewModel() const { return *m_viewModel; }
    QListView *list() const { return m_list; }
    QLabel *countLabel() const { return m_count; }
    QLabel *emptyLabel() const { return m_empty; }
    QLineEdit *searchField() const { return m_search; }
    // Kind chips (bool, string, numeric), then state chips (overriding, not overriding).
    const QList<ChipButton *> &chips() const { return m_chips; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    QWidget *buildFilterBar();
    void connectSignals();
    void refresh();

    SettingsListViewModel *m_viewModel;
    SettingsListModel *m_model;
    PanelList *m_area = nullptr;
    QListView *m_list = nullptr;
    SettingDelegate *m_delegate = nullptr;
    QLabel *m_empty = nullptr;
    QLabel *m_count = nullptr;
    QLineEdit *m_search = nullptr;
    QList<ChipButton *> m_chips;
};
