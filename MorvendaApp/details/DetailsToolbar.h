// The toolbar under the exchange details: the split toggle, the pane filter, the response picker
// (from the second response on) and the exchange's duration. It holds nothing of its own: it
// edits and follows the EntryDetailsViewModel it is given, which outlives it. Main thread only.
#pragma once

#include "DetailsFilterOptions.h"

#include <QWidget>

class EntryDetailsViewModel;
class QButtonGroup;
class QComboBox;
class QLabel;
class SymbolButton;

class DetailsToolbar : public QWidget
{
    Q_OBJECT

public:
    using Filter = DetailsFilterOptions::Filter;
    using Alignment = DetailsFilterOptions::Alignment;

    explicit DetailsToolbar(EntryDetailsViewModel &viewModel, QWidget *parent = nullptr);

    SymbolButton *splitToggle() const { return m_splitToggle; }
    SymbolButton *filterSegment(Filter filter) const;
    QWidget *responsePicker() const { return m_responsePicker; }
    QComboBox *responseMenu() const { return m_responseMenu; }
    QWidget *duration() const { return m_duration; }
    QLabel *durationLabel() const { return m_durationText; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    void refresh();

    EntryDetailsViewModel &m_viewModel;
    SymbolButton *m_splitToggle = nullptr;
    QButtonGroup *m_segments = nullptr;
    QWidget *m_responsePicker = nullptr;
    QComboBox *m_responseMenu = nullptr;
    QWidget *m_duration = nullptr;
    QLabel *m_durationIcon = nullptr;
    QLabel *m_durationText = nullptr;
};
