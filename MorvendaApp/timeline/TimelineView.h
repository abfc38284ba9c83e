// The timeline column of the main window: toolbar, list of exchanges, the paused or no-data
// message, footer counts and filter bar. Takes the shared objects by reference and the main
// window's selection (`selectedMessageID`) as a MessageSelection it writes on user actions.
// Main thread.
#pragma once

#include "MorvendaApp/core/CoalescedCall.h"

#include <QWidget>

#include <optional>

class FileHolder;
class FilterView;
class Logger;
class MessageRepository;
class MessageSelection;
class MorvendaListener;
class QLabel;
class TimelineFooterView;
class TimelineListView;
class TimelineToolbar;
class TimelineViewModel;

class TimelineView : public QWidget
{
    Q_OBJECT

public:
    TimelineView(MorvendaListener &listener, MessageRepository &repository, FileHolder &fileHolder, Logger &logger,
                 MessageSelection &selection, QWidget *parent = nullptr);

    // The 0-based row of the selected ID, none when nothing is selected or it has no row.
    std::optional<int> selectedIndex() const;

    TimelineViewModel &viewModel() const { return *m_viewModel; }
    TimelineToolbar *toolbar() const { return m_toolbar; }
    TimelineListView *list() const { return m_list; }
    QLabel *message() const { return m_message; }
    TimelineFooterView *footer() const { return m_footer; }
    FilterView *filterView() const { return m_filterView; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    void refreshMessage();
    void refreshFooter();

    MorvendaListener &m_listener;
    MessageRepository &m_repository;
    FileHolder &m_fileHolder;
    MessageSelection &m_selection;
    TimelineViewModel *m_viewModel = nullptr;
    TimelineToolbar *m_toolbar = nullptr;
    TimelineListView *m_list = nullptr;
    QLabel *m_message = nullptr;
    TimelineFooterView *m_footer = nullptr;
    FilterView *m_filterView = nullptr;
    // The counts change with every stored exchange: shown at most at the frame rate.
    CoalescedCall m_footerCall{this, [this] { refreshFooter(); }, 16};
};
