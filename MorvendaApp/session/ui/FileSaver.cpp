#include "MorvendaApp/session/ui/FileSaver.h"

#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/SessionFile.h"
#include "MorvendaApp/core/L10n.h"

#include <QDir>
#include <QFileDialog>

FileSaver::FileSaver(MessageRepository &repository, Logger &logger, AlertSink alertSink, QWidget *parentWindow)
    : m_repository(repository), m_logger(logger), m_alertSink(std::move(alertSink)),
      m_parentWindow(parentWindow), m_date(QDateTime::currentDateTime())
{
}

FileSaver::~FileSaver()
{
    delete m_panel;
}

void FileSaver::save()
{
    Q_ASSERT(!m_panel);
    if (m_panel)
        return;
    m_panel = new QFileDialog(m_parentWindow);
    m_panel->setAcceptMode(QFileDialog::AcceptSave);
    m_panel->setFileMode(QFileDialog::AnyFile);
    m_panel->setLabelText(QFileDialog::FileName, L10n::text("FileSaver.filename"));
    m_panel->selectFile(SessionFile::defaultFileName(m_date));
    connect(m_panel, &QFileDialog::finished, this, [this](int result) {
        const QStringList chosen = m_panel->selectedFiles();
        m_panel->deleteLater();
        if (result == QDialog::Accepted && !chosen.isEmpty() && !chosen.first().isEmpty()) {
            write(chosen.first());
        } else {
            emit finished(false);
            deleteLater();
        }
    });
    m_panel->open();
}

// The timeline as it is now is written on a worker thread, so a large session does not stall
// the window; the saver lives until the write has finished.
void FileSaver::write(const QString &path)
{
    SessionFile::saveInBackground(m_repository.currentTimeline(), path, m_logger, this,
                                  [this, path](const tl::expected<void, QString> &result) {
        if (!result && m_alertSink) {
            m_alertSink(Alert::ViewState{L10n::text("FileSaver.failedTitle"),
                                         L10n::tr("FileSaver.failedMessage", QDir::toNativeSeparators(path), result.error()),
                                         {}});
        }
        emit finished(result.has_value());
        deleteLater();
    });
}
