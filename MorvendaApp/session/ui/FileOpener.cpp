#include "MorvendaApp/session/ui/FileOpener.h"

#include "MorvendaApp/session/SessionFile.h"
#include "MorvendaApp/core/L10n.h"

#include <QDir>
#include <QFileDialog>

FileOpener::FileOpener(MessageRepository &repository, FileHolder &fileHolder, Logger &logger, AlertSink alertSink,
                       QWidget *parentWindow)
    : m_repository(repository), m_fileHolder(fileHolder), m_logger(logger), m_alertSink(std::move(alertSink)),
      m_parentWindow(parentWindow)
{
}

FileOpener::~FileOpener()
{
    delete m_panel;
}

void FileOpener::open()
{
    Q_ASSERT(!m_panel);
    if (m_panel)
        return;
    m_panel = new QFileDialog(m_parentWindow);
    m_panel->setAcceptMode(QFileDialog::AcceptOpen);
    m_panel->setFileMode(QFileDialog::ExistingFile);
    connect(m_panel, &QFileDialog::finished, this, [this](int result) {
        const QStringList chosen = m_panel->selectedFiles();
        m_panel->deleteLater();
        if (result == QDialog::Accepted && !chosen.isEmpty() && !chosen.first().isEmpty()) {
            load(chosen.first());
        } else {
            emit finished(false);
            deleteLater();
        }
    });
    m_panel->open();
}

void FileOpener::load(const QString &path)
{
    // The load's completion is dropped with the repository; this object then simply stays.
    QPointer<FileOpener> self(this);
    // The file asked for last is the one wanted: one still being read is given up.
    SessionFile::cancelLoads(m_repository);
    SessionFile::load(path, m_repository, m_fileHolder, m_logger, [self, path](const tl::expected<void, QString> &result) {
        if (!self)
            return;
        if (!result && result.error() != SessionFile::cancelledReason() && self->m_alertSink) {
            self->m_alertSink(Alert::ViewState{L10n::text("FileOpener.failedTitle"),
                                               L10n::tr("FileOpener.failedMessage", QDir::toNativeSeparators(path), result.error()),
                                               {}});
        }
        emit self->finished(result.has_value());
        self->deleteLater();
    });
}
