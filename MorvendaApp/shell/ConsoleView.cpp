#include "ConsoleView.h"

#include "ConsoleViewModel.h"

#include "CodeMirror/CodeMirrorView.h"
#include "CodeMirror/CodeMirrorViewModel.h"
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/ToolbarButtons.h"
#include "MorvendaApp/session/Logger.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {
// The viewer's height bounds in logical pixels; the details column may give the pane more.
constexpr int kMinimumViewerHeight = 150;
constexpr int kIdealViewerHeight = 300;
} // namespace

ConsoleView::ConsoleView(Logger &logger, WindowManager &windowManager, QWidget *parent)
    : QWidget(parent)
    , m_logger(logger)
    , m_codeMirrorViewModel(new CodeMirrorViewModel({}, {}, {}, this))
    , m_viewModel(new ConsoleViewModel(this))
{
    m_codeMirrorViewModel->setReadOnly(true);
    m_codeMirrorViewModel->setLineWrapping(true);
    buildLayout(windowManager);
    // The viewer's bridge exists now, so the first text can be handed over.
    m_viewModel->setup(logger, *m_codeMirrorViewModel);
    applyDarkMode();
}

ConsoleView::~ConsoleView() = default;

void ConsoleView::buildLayout(WindowManager &windowManager)
{
    m_codeMirrorView = new CodeMirrorView(*m_codeMirrorViewModel, this);
    m_codeMirrorView->setMinimumHeight(kMinimumViewerHeight);
    m_codeMirrorView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto *toolbar = new QHBoxLayout;
    toolbar->setSpacing(12);
    toolbar->setContentsMargins(6, 0, 6, 6);
    toolbar->addStretch(1);
    toolbar->addWidget(new BottomToolbarButton(BottomView::Console, windowManager, this));
    m_clearButton = new SymbolButton(QStringLiteral("trash"), this);
    m_clearButton->setTint(NamedColor::Red);
    m_clearButton->setAutoRaise(true);
    connect(m_clearButton, &QToolButton::clicked, &m_logger, &Logger::clear);
    toolbar->addWidget(m_clearButton);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_codeMirrorView, 1);
    column->addLayout(toolbar);
}

QSize ConsoleView::sizeHint() const
{
    return {QWidget::sizeHint().width(), kIdealViewerHeight + 32};
}

void ConsoleView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        applyDarkMode();
    }
    QWidget::changeEvent(event);
}

void ConsoleView::applyDarkMode()
{
    m_codeMirrorViewModel->setDarkMode(isDarkPalette(palette()));
}
