#include "FileListView.h"

#include "ConnectionSelection.h"
#include "ListSizing.h"

#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/core/L10n.h"

#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {
constexpr int kRowPadding = 12;
constexpr int kMarkSize = 16;

// Rows with the list's padding and separator; the text is the file's location as plain text.
class FileRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 2 * kRowPadding);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        drawRowSeparator(painter, option);
    }
};
} // namespace

FileListView::FileListView(FileHolder &fileHolder, MorvendaListener &listener, ConnectionSelection &selection,
    QWidget *parent)
    : QWidget(parent)
    , m_fileHolder(fileHolder)
    , m_listener(listener)
    , m_selection(selection)
{
    buildLayout();
    connectSignals();
    rebuildRows();
}

void FileListView::buildLayout()
{
    m_header = new QLabel(L10n::text("Connection.selectOpenedFiles"), this);
    m_header->setTextFormat(Qt::PlainText);
    m_list = new QListWidget(this);
    m_list->setItemDelegate(new FileRowDelegate(m_list));
    m_list->setIconSize(QSize(kMarkSize, kMarkSize));
    m_list->setTextElideMode(Qt::ElideMiddle);
    applyConnectListStyle(m_list);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    column->addWidget(m_header);
    column->addWidget(m_list);
}

void FileListView::connectSignals()
{
    connect(&m_fileHolder, &FileHolder::filesChanged, this, &FileListView::rebuildRows);
    connect(&m_fileHolder, &FileHolder::openedFileChanged, this, &FileListView::openedFileChanged);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &FileListView::takeSelectionFromList);
}

void FileListView::rebuildRows()
{
    m_syncingList = true;
    m_list->clear();
    for (const QString &file : m_fileHolder.files()) {
        auto *item = new QListWidgetItem(L10n::tr("Connection.id", file), m_list);
        item->setData(Qt::UserRole, file);
        item->setToolTip(Qt::convertFromPlainText(file));
    }
    m_syncingList = false;
    refreshMarks();
    fitHeightToRows(m_list);
    setVisible(!m_fileHolder.files().isEmpty());
}

void FileListView::refreshMarks()
{
    const auto &opened = m_fileHolder.openedFile();
    const QColor text = palette().color(QPalette::Text);
    const QIcon checked = Symbols::icon(QStringLiteral("checkmark.circle.fill"), text, kMarkSize);
    const QIcon unchecked = Symbols::icon(QStringLiteral("circle"), text, kMarkSize);
    m_syncingList = true;
    bool selected = false;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const bool isOpened = opened && item->data(Qt::UserRole).toString() == *opened;
        item->setIcon(isOpened ? checked : unchecked);
        // One row per file; should a name ever be listed twice, only its first row is selected.
        item->setSelected(isOpened && !selected);
        selected = selected || isOpened;
    }
    m_syncingList = false;
}

void FileListView::openedFileChanged(const std::optional<QString> &file)
{
    refreshMarks();
    if (!file || !isVisible()) {
        return;
    }
    // A file is the source now, so no connection is; cleared silently, not "selected".
    if (m_listener.activeConnection()) {
        m_listener.setActiveConnection(nullptr);
    }
    m_selection.setConnectionId(std::nullopt);
}

void FileListView::takeSelectionFromList()
{
    if (m_syncingList) {
        return;
    }
    const QList<QListWidgetItem *> items = m_list->selectedItems();
    if (!items.isEmpty()) {
        m_fileHolder.setOpenedFile(items.first()->data(Qt::UserRole).toString());
    }
}
