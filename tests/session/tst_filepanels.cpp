#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
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

class TestFilePanels : public QObject
{
    Q_OBJECT

private slots:
    void aCancelledSaveStaysSilentAndAFailedOpenRaisesAnAlert();
};

// The round trip and a failed save go through the timeline and main-scene tests; what stays here
// is what only the panels decide.
void TestFilePanels::aCancelledSaveStaysSilentAndAFailedOpenRaisesAnAlert()
{
    QTemporaryDir dir;
    MessageRepository repository;
    FileHolder holder;
    Logger logger;
    QList<Alert::ViewState> alerts;
    const AlertSink sink = [&alerts](const Alert::ViewState &alert) { alerts.append(alert); };
    repository.addRequest(request(id(1)), QStringLiteral("App"));

    auto *saver = new FileSaver(repository, logger, sink);
    QSignalSpy saved(saver, &FileSaver::finished);
    QSignalSpy destroyed(saver, &QObject::destroyed);
    saver->save();
    saver->panel()->setDirectory(dir.path());
    saver->panel()->reject();
    QTRY_COMPARE(destroyed.count(), 1);
    QCOMPARE(saved.count(), 1);
    QVERIFY(alerts.isEmpty());
    QVERIFY(logger.log().isEmpty());
    QVERIFY(QDir(dir.path()).isEmpty());

    const QString path = dir.filePath(QStringLiteral("object.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("{}") == 2);
    file.close();
    auto *opener = new FileOpener(repository, holder, logger, sink);
    QSignalSpy opened(opener, &FileOpener::finished);
    opener->open();
    opener->panel()->selectFile(path);
    static_cast<QDialog *>(opener->panel())->accept(); // QFileDialog::accept is protected
    QTRY_COMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(0).toBool(), false);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts.first().title, L10n::text("FileOpener.failedTitle"));
    QVERIFY(holder.files().isEmpty());
    QCOMPARE(repository.exchangeCount(), 1);
    QCOMPARE(logger.log().size(), 1);
}

QTEST_MAIN(TestFilePanels)
#include "tst_filepanels.moc"
