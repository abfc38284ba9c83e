#include "DeeplinkItemView.h"

#include "PanelParts.h"

#include "MorvendaApp/components/CopyButton.h"
#include "MorvendaApp/components/FlowStack.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/ActiveApp.h"
#include "MorvendaApp/session/MorvendaListener.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The entry's name on one line, cut with "…" where the row cannot give it all its width, so the
// copy symbol, its confirmation and the send button keep their room at every width the panel
// allows. The whole name is the tooltip while it is cut.
class NameLabel : public QLabel
{
public:
    // Characters of the name that stay readable however narrow the row.
    static constexpr int kLeastShown = 4;

    NameLabel(const QString &name, QWidget *parent)
        : QLabel(name, parent)
    {
        setObjectName(QStringLiteral("name"));
        setTextFormat(Qt::PlainText);
    }

    QSize minimumSizeHint() const override
    {
        QSize least = QLabel::minimumSizeHint();
        const QString shortest = text().left(kLeastShown) + QChar(0x2026);
        least.setWidth(std::min(least.width(), fontMetrics().horizontalAdvance(shortest) + 1));
        return least;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        style()->drawItemText(&painter, contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
            shown(), foregroundRole());
    }

    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        setToolTip(shown() == text() ? QString() : text());
    }

private:
    QString shown() const { return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width()); }
};

} // namespace

DeeplinkItemView::DeeplinkItemView(Deeplinks::Case deeplinkCase, DeeplinkEnvironment environment,
    MorvendaListener &listener, const DeeplinkBaseAddresses &bases, QWidget *parent)
    : QWidget(parent)
    , m_listener(listener)
    , m_viewModel(new DeeplinkItemViewModel(deeplinkCase, environment, bases, this))
{
    setObjectName(Deeplinks::rawValue(deeplinkCase));
    buildLayout();
    connectSignals();
}

void DeeplinkItemView::buildLayout()
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    auto *text = new QVBoxLayout;
    text->setSpacing(4);

    auto *title = new QHBoxLayout;
    title->setContentsMargins(0, 0, 0, 2);
    auto *name = new NameLabel(m_viewModel->deeplink().name, this);
    name->setFont(PanelParts::font(font(), PanelParts::kSubheadline, true));
    DeeplinkItemViewModel *model = m_viewModel;
    m_copy = new CopyButton([model] { return model->url().value_or(QString()); }, this);
    // The confirmation shows in the free room after the symbol: the symbol never moves.
    m_copy->placeConfirmationAfterSymbol();
    title->addWidget(name);
    title->addWidget(m_copy);
    title->addStretch(1);
    text->addLayout(title);
    m_preview = makePreview();
    text->addWidget(m_preview);

    m_send = new SymbolButton(QStringLiteral("arrow.right"), this);
    m_send->setToolTip(L10n::textOrKey(QStringLiteral("Send")));
    row->addLayout(text, 1);
    row->addWidget(m_send, 0, Qt::AlignVCenter);
}

QWidget *DeeplinkItemView::makePreview()
{
    auto *preview = new QWidget(this);
    preview->setMinimumHeight(20);
    auto *flow = new FlowStack(preview, Qt::AlignLeft, 4, 4);
    flow->setContentsMargins(0, 0, 0, 0);
    DeeplinkItemViewModel *model = m_viewModel;
    for (const DeeplinkPreviewPart &part : Deeplinks::previewParts(m_viewModel->deeplink())) {
        switch (part.kind) {
        case DeeplinkPreviewPart::Kind::Text:
            flow->addWidget(plainLabel(L10n::textOrKey(part.text), preview));
            break;
        case DeeplinkPreviewPart::Kind::Label:
            flow->addWidget(plainLabel(part.text, preview));
            break;
        case DeeplinkPreviewPart::Kind::Field: {
            auto *edit = new QLineEdit(preview);
            // The whole typed text goes into the link: no cut at QLineEdit's default 32,767.
            edit->setMaxLength(std::numeric_limits<int>::max());
            edit->setPlaceholderText(part.text);
            edit->setMinimumWidth(100);
            edit->setObjectName(part.id);
            const QString id = part.id;
            connect(edit, &QLineEdit::textChanged, this, [model, id](const QString &typed) { model->setInput(id, typed); });
            m_fields.append(edit);
            flow->addWidget(edit);
            break;
        }
        }
    }
    return preview;
}

void DeeplinkItemView::connectSignals()
{
    DeeplinkItemViewModel *model = m_viewModel;
    connect(m_send, &QToolButton::clicked, this, [model] { model->sendDeeplink(); });
    auto *app = new ActiveApp(m_listener, this);
    const auto follow = [this, app] { m_send->setEnabled(app->isReachable()); };
    connect(app, &ActiveApp::changed, this, follow);
    follow();
}

void DeeplinkItemView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_viewModel->setSession(&m_listener);
}
