#include "MainWindow.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/ToolbarButtons.h"

#include <QCloseEvent>
#include <QEvent>
#include <QPainter>
#include <QSplitter>
#include <QToolBar>

namespace {
// A toolbar separator: a 1-pixel rectangle in the secondary colour, as tall as the toolbar allows.
class ToolbarSeparator : public QWidget
{
public:
    explicit ToolbarSeparator(QWidget *parent)
        : QWidget(parent)
    {
        setFixedWidth(1);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        setMinimumHeight(16);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), namedColor(NamedColor::Secondary, palette()));
    }
};
} // namespace

MainWindow::MainWindow(WindowManager &windowManager, HelpButton::Presenter helpPresenter, QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Morvenda"));
    resize(kDefaultSize);
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    setCentralWidget(m_splitter);
    buildToolbar(windowManager, std::move(helpPresenter));
}

void MainWindow::buildToolbar(WindowManager &windowManager, HelpButton::Presenter helpPresenter)
{
    m_toolbar = addToolBar(QStringLiteral("Morvenda"));
    m_toolbar->setObjectName(QStringLiteral("mainToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->toggleViewAction()->setEnabled(false);
    m_toolbar->addWidget(new BottomToolbarButton(BottomView::Console, windowManager, m_toolbar));
    m_toolbar->addWidget(new BottomToolbarButton(BottomView::Metrics, windowManager, m_toolbar));
    m_toolbar->addWidget(new ToolbarSeparator(m_toolbar));
    for (const SideView view : kAllSideViews) {
        if (view != SideView::None) {
            m_toolbar->addWidget(new SideToolbarButton(view, windowManager, m_toolbar));
        }
    }
    m_toolbar->addWidget(new ToolbarSeparator(m_toolbar));
    m_toolbar->addWidget(new HelpButton(std::nullopt, std::move(helpPresenter), m_toolbar));
}

void MainWindow::setColumns(QWidget *timeline, QWidget *details)
{
    while (m_splitter->count() > 0) {
        delete m_splitter->widget(0);
    }
    timeline->setMinimumWidth(kTimelineMinWidth);
    m_splitter->addWidget(timeline);
    m_splitter->addWidget(details);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kTimelineIdealWidth, std::max(width() - kTimelineIdealWidth, 1)});
}

QWidget *MainWindow::timelineColumn() const
{
    return m_splitter->count() > 0 ? m_splitter->widget(0) : nullptr;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        emit closing();
    }
}
