#include "HelpButton.h"

#include <QDesktopServices>

HelpButton::HelpButton(std::optional<Help> article, Presenter presenter, QWidget *parent)
    : SymbolButton(QStringLiteral("questionmark.circle"), parent)
    , m_article(article)
    , m_presenter(std::move(presenter))
{
    connect(this, &QToolButton::clicked, this, &HelpButton::trigger);
}

void HelpButton::trigger()
{
    const std::optional<QUrl> page = m_article ? helpUrl(*m_article) : std::nullopt;
    if (page) {
        if (m_presenter.openUrl)
            m_presenter.openUrl(*page);
        else
            QDesktopServices::openUrl(*page);
    } else if (m_presenter.showHelp) {
        m_presenter.showHelp();
    }
}
