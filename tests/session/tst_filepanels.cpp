#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/SessionFile.h"
#include "MorvendaApp/session/ui/FileOpener.h"
#include "MorvendaApp/session/ui/FileSaver.h"
#include "MorvendaApp/core/L10n.h"
#include "SessionFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace fixtures;

namespace {

// QFileDialog::accept is protected; the panel is answered as a user would, through QDialog.
void accept(QFileDialog *panel)
{
    static_cast<QDialog *>(panel)->accept();
}

} // namespace

class TestFilePanels : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cancellingStaysSilent();
    void aFailedOpenRaisesAnAlert();

private:
    QTemporaryDir m_dir;
    MessageRepository m_repository;
    FileHolder m_holder;
    Logger m_logger;
    QList<Alert::ViewState> m_alerts;
    AlertSink sink()
    {
        return [this](const Alert::ViewState &alert) { m_alerts.append(alert); };
    }
};

void TestFilePanels::init()
{
    QVERIFY(m_dir.isValid());
    m_repository.clear();
    m_alerts.clear();
    m_logger.clear();
    m_repository.addRequest(request(id(1)), QStringLiteral("App"));
    m_repository.addResponse(response(id(1), id(9)), QStringLiteral("App"));
}

void TestFilePanels::cancellingStaysSilent()
{
    const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
    auto *saver = new FileSaver(m_repository, m_logger, sink());
    QSignalSpy finished(saver, &FileSaver::finished);
    QSignalSpy destroyed(saver, &QObject::destroyed);
    saver->save();
    saver->panel()->setDirectory(m_dir.path());
    saver->panel()->reject();
    QTRY_COMPARE(destroyed.count(), 1);
    QCOMPARE(finished.count(), 1);
    QVERIFY(m_alerts.isEmpty());
    QVERIFY(m_logger.log().isEmpty());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), before);
}

void TestFilePanels::aFailedOpenRaisesAnAlert()
{
    const QString path = m_dir.filePath(QStringLiteral("object.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{}");
    file.close();
    const qsizetype listed = m_holder.files().size();
    auto *opener = new FileOpener(m_repository, m_holder, m_logger, sink());
    QSignalSpy finished(opener, &FileOpener::finished);
    opener->open();
    opener->panel()->selectFile(path);
    accept(opener->panel());
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts.first().title, L10n::text("FileOpener.failedTitle"));
    QCOMPARE(m_holder.files().size(), listed);
    QCOMPARE(m_logger.log().size(), 1);
}

QTEST_MAIN(TestFilePanels)
#include "tst_filepanels.moc"
