#include "DeeplinkListView.h"

#include "Chip.h"
#include "DeeplinkItemView.h"
#include "PanelParts.h"

#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/PanelTopStrip.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/ActiveApp.h"
#include "MorvendaApp/session/MorvendaListener.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

DeeplinkListView::DeeplinkListView(MorvendaListener &listener, DeeplinkBaseAddresses bases, QWidget *parent)
    : QWidget(parent)
    , m_listener(listener)
    , m_bases(std::move(bases))
{
    buildLayout();
    connectSignals();
    applyFilter(QString());
}

void DeeplinkListView::buildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(PanelTopStrip::following(*new ActiveApp(m_listener, this), this));

    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *rows = new QWidget(scroll);
    m_rowsLayout = new QVBoxLayout(rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(rows);
    layout->addWidget(scroll, 1);

    auto *environmentRow = new QHBoxLayout;
    environmentRow->setContentsMargins(4, 4, 4, 4);
    QWidget *badge = PanelParts::decoration(QStringLiteral("app.badge"), this);
    badge->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    badge->setToolTip(L10n::textOrKey(QStringLiteral("App environment")));
    environmentRow->addWidget(badge);
    auto *picker = new QWidget(this);
    picker->setMaximumWidth(200);
    auto *segments = new QHBoxLayout(picker);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(2);
    auto *group = new QButtonGroup(picker);
    const auto segment = [&](DeeplinkEnvironment environment) {
        // The chosen environment decides where a link opens: it carries the selection tint
        // of the chips, which reads as chosen in either scheme.
        auto *button = new ChipButton(QString(), DeeplinkEnvironments::rawValue(environment), picker);
        button->setCheckable(true);
        button->setChecked(environment == m_environment);
        // Never narrower than its label: the room beside the picker goes first.
        button->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
        group->addButton(button);
        segments->addWidget(button);
        connect(button, &QAbstractButton::toggled, this, [this, environment](bool on) {
            if (on)
                setEnvironment(environment);
        });
        return button;
    };
    m_staging = segment(DeeplinkEnvironment::Staging);
    m_production = segment(DeeplinkEnvironment::Production);
    environmentRow->addWidget(picker, 1);
    environmentRow->addStretch(1);
    m_help = new SymbolButton(QStringLiteral("questionmark.circle"), this);
    m_help->setAutoRaise(true);
    environmentRow->addWidget(m_help);
    layout->addLayout(environmentRow);

    m_filter = new QLineEdit(this);
    QWidget *filterRow = PanelParts::filterRow(m_filter, L10n::text("Deeplink.search"));
    filterRow->setContentsMargins(4, 4, 4, 10);
    layout->addWidget(filterRow);
}

void DeeplinkListView::connectSignals()
{
    connect(m_filter, &QLineEdit::textChanged, this, &DeeplinkListView::applyFilter);
    connect(m_help, &QToolButton::clicked, this, &DeeplinkListView::showHelp);
}

void DeeplinkListView::setEnvironment(DeeplinkEnvironment environment)
{
    m_environment = environment;
    ChipButton *button = environmentButton(environment);
    if (!button->isChecked())
        button->setChecked(true);
    for (DeeplinkItemView *row : std::as_const(m_rows))
        row->setEnvironment(environment);
}

QList<DeeplinkItemView *> DeeplinkListView::rows() const
{
    QList<DeeplinkItemView *> out;
    for (Deeplinks::Case c : m_listed)
        out.append(m_rows.value(c));
    return out;
}

ChipButton *DeeplinkListView::environmentButton(DeeplinkEnvironment environment) const
{
    return environment == DeeplinkEnvironment::Staging ? m_staging : m_production;
}

void DeeplinkListView::applyFilter(const QString &text)
{
    m_listed = Deeplinks::filtered(text);
    QHash<Deeplinks::Case, DeeplinkItemView *> kept;
    for (Deeplinks::Case c : std::as_const(m_listed)) {
        DeeplinkItemView *row = m_rows.take(c);
        if (row)
            m_rowsLayout->removeWidget(row);
        else
            row = new DeeplinkItemView(c, m_environment, m_listener, m_bases);
        kept.insert(c, row);
    }
    // Rows the filter removed go, with what was typed into them.
    qDeleteAll(m_rows);
    m_rows = kept;
    for (qsizetype i = 0; i < m_listed.size(); ++i)
        m_rowsLayout->insertWidget(int(i), m_rows.value(m_listed.at(i)));
}

void DeeplinkListView::showHelp()
{
    m_listener.presentAlert(
        Alert::ViewState{L10n::text("Deeplink.Help.title"), L10n::text("Deeplink.Help.body"), {}});
}
