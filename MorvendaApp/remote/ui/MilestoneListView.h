// The milestone inspector: the active app's milestones (key, count, creation and update dates)
// with a filter over their keys. Read-only; owns its view model, which it binds each time it is
// shown. Main thread only.
#pragma once

#include <QWidget>

class MilestoneListModel;
class MilestoneListViewModel;
class MilestoneManager;
class MorvendaListener;
class PanelList;
class QLabel;
class QLineEdit;
class QListView;

class MilestoneListView : public QWidget
{
    Q_OBJECT

public:
    MilestoneListView(MorvendaListener &listener, MilestoneManager &milestoneManager, QWidget *parent = nullptr);

    MilestoneListViewModel &viewModel() const { return *m_viewModel; }
    QListView *list() const { return m_list; }
    QLabel *emptyLabel() const { return m_empty; }
    QLineEdit *filterField() const { return m_filter; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout(MorvendaListener &listener);
    void refresh();

    MilestoneListViewModel *m_viewModel;
    MilestoneListModel *m_model;
    PanelList *m_area = nullptr;
    QListView *m_list = nullptr;
    QLabel *m_empty = nullptr;
    QLineEdit *m_filter = nullptr;
};
