#include "PayloadBodyView.h"

#include "CodeMirror/CodeMirrorView.h"
#include "MorvendaApp/components/NamedColors.h"

#include <QEvent>
#include <QVBoxLayout>

PayloadBodyView::PayloadBodyView(const QString &json, QWidget *parent)
    : QWidget(parent)
    , m_json(json)
{
    m_viewModel.setReadOnly(true);
    m_viewModel.setLineWrapping(true);
    m_codeView = new CodeMirrorView(m_viewModel, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_codeView);
    // The viewer holds both until its page is ready.
    m_viewModel.setContent(m_json);
    m_viewModel.setDarkMode(isDarkPalette(palette()));
}

// The view goes before the model it shows.
PayloadBodyView::~PayloadBodyView()
{
    delete m_codeView;
}

void PayloadBodyView::setJson(const QString &json)
{
    if (json == m_json)
        return;
    m_json = json;
    m_viewModel.setContent(m_json);
}

void PayloadBodyView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        followPalette();
    QWidget::changeEvent(event);
}

void PayloadBodyView::followPalette()
{
    const bool dark = isDarkPalette(palette());
    if (dark != m_viewModel.darkMode())
        m_viewModel.setDarkMode(dark);
}
