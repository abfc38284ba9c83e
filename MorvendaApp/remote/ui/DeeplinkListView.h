// The deeplink panel: the catalogue's rows narrowed by a filter on their names, the environment
// switch and the help button. A row keeps its typed values while it stays listed; a row the
// filter removes is discarded with them. Every instance has its own filter and environment.
// Main thread only.
#pragma once

#include "MorvendaApp/remote/DeeplinkItemViewModel.h"

#include <QHash>
#include <QWidget>

class ChipButton;
class DeeplinkItemView;
class MorvendaListener;
class QLineEdit;
class QToolButton;
class QVBoxLayout;

class DeeplinkListView : public QWidget
{
    Q_OBJECT

public:
    explicit DeeplinkListView(MorvendaListener &listener,
        DeeplinkBaseAddresses bases = DeeplinkBaseAddresses::standard(), QWidget *parent = nullptr);

    DeeplinkEnvironment environment() const { return m_environment; }
    void setEnvironment(DeeplinkEnvironment environment);
    // The listed rows, in catalogue order.
    QList<DeeplinkItemView *> rows() const;
    DeeplinkItemView *row(Deeplinks::Case deeplinkCase) const { return m_rows.value(deeplinkCase); }
    QLineEdit *filterField() const { return m_filter; }
    // The picker's segments, tinted like the chips while selected.
    ChipButton *environmentButton(DeeplinkEnvironment environment) const;
    QToolButton *helpButton() const { return m_help; }

private:
    void buildLayout();
    void connectSignals();
    void applyFilter(const QString &text);
    void showHelp();

    MorvendaListener &m_listener;
    DeeplinkBaseAddresses m_bases;
    DeeplinkEnvironment m_environment = DeeplinkEnvironment::Staging;
    QList<Deeplinks::Case> m_listed;
    QHash<Deeplinks::Case, DeeplinkItemView *> m_rows;
    QVBoxLayout *m_rowsLayout = nullptr;
    QLineEdit *m_filter = nullptr;
    ChipButton *m_staging = nullptr;
    ChipButton *m_production = nullptr;
    QToolButton *m_help = nullptr;
};
