// The filter bar at the foot of the timeline column: quick-filter chips that wrap, the menu of
// text-filter mode and method, and the text field. Keeps the user's choices itself, draws from
// them alone and hands every change to the filter model; typed text reaches the repository once
// per event-loop turn however fast the keys come. Main thread.
#pragma once

#include "MorvendaApp/core/CoalescedCall.h"
#include "MorvendaApp/timeline/FilterViewModel.h"

#include <QList>
#include <QWidget>

#include <optional>

class QLineEdit;
class QMenu;
class QToolButton;
class QuickFilterChip;

class FilterView : public QWidget
{
    Q_OBJECT

public:
    explicit FilterView(FilterViewModel &filterViewModel, QWidget *parent = nullptr);

    std::optional<QuickFilter> quickFilter() const { return m_quickFilter; }
    std::optional<Method> methodFilter() const { return m_methodFilter; }
    TextFilter textFilter() const { return m_textFilter; }

    // The colour of a method in the menu's label (none: the accent colour) and in its rows
    // (none: the "No method filter" row, white on dark, the text colour on light).
    static QColor methodColor(std::optional<Method> method, const QPalette &palette, bool row);

    QToolButton *menuButton() const { return m_menuButton; }
    QLineEdit *textField() const { return m_textField; }
    QList<QuickFilterChip *> chips() const { return m_chips; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    void rebuildMenu();
    void refresh();
    void selectChip(QuickFilter filter);
    void chooseTextFilter(TextFilter filter);
    void chooseMethod(std::optional<Method> method);
    void applyTextFilter();

    FilterViewModel &m_filterViewModel;
    QString m_filter;
    std::optional<QuickFilter> m_quickFilter;
    std::optional<Method> m_methodFilter;
    TextFilter m_textFilter = TextFilter::FilterIn;
    // Every keystroke would otherwise run the text predicate over every stored exchange.
    CoalescedCall m_textFilterCall{this, [this] { applyTextFilter(); }};

    QList<QuickFilterChip *> m_chips;
    QToolButton *m_menuButton = nullptr;
    QMenu *m_menu = nullptr;
    QLineEdit *m_textField = nullptr;
};
