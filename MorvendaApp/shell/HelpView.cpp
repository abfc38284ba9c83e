#include "HelpView.h"

#include "Asset.h"

#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGridLayout>
#include <QListWidget>

#include <algorithm>

namespace {
constexpr int kArticleRole = Qt::UserRole + 1;
constexpr int kIconSize = 22;
} // namespace

HelpView::HelpView(OpenUrl openUrl, QWidget *parent)
    : QDialog(parent)
    , m_openUrl(std::move(openUrl))
{
    setWindowTitle(L10n::text("Help.sideTitle"));
    setMinimumSize(kMinimumSize);
    buildLayout();
}

void HelpView::fitInto(QSize room)
{
    setMinimumSize(kMinimumSize.boundedTo(room.expandedTo(QSize(1, 1))));
}

QList<Help> HelpView::helpPages()
{
    QList<Help> pages(kAllHelpArticles.begin(), kAllHelpArticles.end());
    std::sort(pages.begin(), pages.end(), [](Help a, Help b) { return helpTitle(a) < helpTitle(b); });
    return pages;
}

void HelpView::buildLayout()
{
    m_list = new QListWidget(this);
    m_list->setMouseTracking(true);
    m_list->setIconSize(QSize(kIconSize, kIconSize));
    m_list->setFrameShape(QFrame::NoFrame);
    // A pointer list: hovering highlights, clicking opens; no keyboard focus mark on the header.
    m_list->setFocusPolicy(Qt::NoFocus);

    QFont titleFont = font();
    titleFont.setPointSizeF(font().pointSizeF() * 1.6);
    titleFont.setBold(true);
    auto *header = new QListWidgetItem(L10n::text("Help.sideTitle"), m_list);
    m_header = header;
    header->setFont(titleFont);
    header->setFlags(Qt::ItemIsEnabled);
    header->setSizeHint(QSize(0, QFontMetrics(titleFont).height() + 16));
    auto *hint = new QListWidgetItem(L10n::text("Help.description"), m_list);
    hint->setFlags(Qt::ItemIsEnabled);
    hint->setSizeHint(QSize(0, fontMetrics().height() + 16));

    QFont articleFont = font();
    articleFont.setPointSizeF(font().pointSizeF() * 1.2);
    for (const Help article : helpPages()) {
        auto *item = new QListWidgetItem(helpTitle(article), m_list);
        item->setFont(articleFont);
        item->setData(kArticleRole, int(article));
        item->setSizeHint(QSize(0, kIconSize + 16));
    }
    refreshIcons();

    // Hovering highlights; clicking opens the page. Header and hint rows are not articles.
    connect(m_list, &QListWidget::itemEntered, this, [this](QListWidgetItem *item) {
        if (item->data(kArticleRole).isValid()) {
            m_list->setCurrentItem(item);
        }
    });
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const QVariant article = item->data(kArticleRole);
        if (article.isValid()) {
            openArticle(Help(article.toInt()));
        }
    });

    auto *close = new SymbolButton(QStringLiteral("xmark"), this);
    close->setAutoRaise(true);
    close->setObjectName(QStringLiteral("closeHelp"));
    connect(close, &QToolButton::clicked, this, &QDialog::close);

    // The close button sits over the list's top-right corner.
    auto *grid = new QGridLayout(this);
    grid->addWidget(m_list, 0, 0);
    grid->addWidget(close, 0, 0, Qt::AlignTop | Qt::AlignRight);
}

void HelpView::refreshIcons()
{
    const QColor text = palette().color(QPalette::Text);
    if (m_header)
        m_header->setIcon(Symbols::icon(QStringLiteral("questionmark.circle"), text, kIconSize));
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const QVariant article = item->data(kArticleRole);
        if (!article.isValid()) {
            continue;
        }
        const QString symbol = helpIconSymbol(Help(article.toInt()));
        item->setIcon(symbol.isEmpty()
                ? QIcon(Asset::pixmap(Asset::logo, QSize(kIconSize, kIconSize), devicePixelRatioF()))
                : Symbols::icon(symbol, text, kIconSize));
    }
}

void HelpView::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        refreshIcons();
    }
}

QListWidgetItem *HelpView::itemFor(Help article) const
{
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->item(row)->data(kArticleRole) == QVariant(int(article))) {
            return m_list->item(row);
        }
    }
    return nullptr;
}

void HelpView::openArticle(Help article)
{
    const std::optional<QUrl> url = helpUrl(article);
    if (!url) {
        return;
    }
    if (m_openUrl) {
        m_openUrl(*url);
    } else {
        QDesktopServices::openUrl(*url);
    }
}
