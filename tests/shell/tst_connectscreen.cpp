// The connect screen against a real listener on the loopback and scripted apps: rows appear with
// their live state, a lone connection is chosen, the context menu prints and deletes, and the
// connection and file lists exclude each other.
#include "tests/support/Artifacts.h"
#include "tests/support/LoopbackSession.h"

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/shell/ConnectToPeerView.h"
#include "MorvendaApp/shell/ConnectionEntryDelegate.h"
#include "MorvendaApp/shell/ConnectionListModel.h"
#include "MorvendaApp/shell/ConnectionSelection.h"
#include "MorvendaApp/shell/FileListView.h"
#include "MorvendaApp/shell/PeerListView.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaModel/ShownText.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

class TestConnectScreen : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_files = std::make_unique<FileHolder>();
        // The server's fixed-port switch, as a developer would start it beside a scripted app.
        qputenv("MORVENDA_PORT", QByteArray::number(ScriptedPeer::freePort()));
        m_session = std::make_unique<LoopbackSession>();
        qunsetenv("MORVENDA_PORT");
        m_listener = &m_session->listener;
        m_logger = &m_session->logger;
        QVERIFY(m_listener->isListening());
        m_avatars = std::make_unique<AvatarLoader>();
        m_screen = std::make_unique<ConnectToPeerView>(*m_listener, *m_files, m_session->users, *m_avatars);
        m_tester = std::make_unique<QAbstractItemModelTester>(&model());
        m_screen->resize(700, 600);
        m_screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_screen.get()));
    }

    void cleanup()
    {
        m_tester.reset();
        m_screen.reset();
        m_avatars.reset();
        m_session.reset();
        m_files.reset();
    }

    void aLoneConnectionIsShownReadyAndChosenAndAFileReplacesIt()
    {
        QCOMPARE(m_screen->peerList()->header()->text(), QStringLiteral("No available connections"));
        QVERIFY(!m_screen->fileList()->isVisible());
        QVERIFY(m_screen->serverNameLabel()->text().contains(
            QStringLiteral("<b>") + MorvendaListener::bonjourName().toHtmlEscaped() + QStringLiteral("</b>")));

        ScriptedPeer peer;
        const auto connection = m_session->connectApp(peer, QStringLiteral("Retailer <App> & Co"));
        QVERIFY(connection);
        peer.user(QStringLiteral("Ada"), QStringLiteral("tok-1"));
        QTRY_COMPARE(model().index(0).data(ConnectionListModel::HasUserRole).toBool(), true);

        QCOMPARE(m_screen->peerList()->header()->text(), QStringLiteral("Select connection to display:"));
        QCOMPARE(model().rowCount(), 1);
        const QModelIndex row = model().index(0);
        QCOMPARE(row.data(ConnectionListModel::DisplayNameRole).toString(), QStringLiteral("Retailer <App> & Co"));
        QCOMPARE(row.data(ConnectionListModel::StateTextRole).toString().toUpper(), QStringLiteral("READY"));
        QCOMPARE(row.data(ConnectionListModel::UserNameRole).toString(), QStringLiteral("Ada"));
        QCOMPARE(row.data(ConnectionListModel::UserTagsRole).value<QList<UserTag>>(),
            (QList<UserTag>{UserTag::Admin, UserTag::Active}));
        QCOMPARE(m_screen->selection().connectionId(), std::optional<QUuid>(connection->id()));
        QCOMPARE(m_listener->activeConnection(), connection);
        QVERIFY(row.data(ConnectionListModel::IsSelectedRole).toBool());
        QVERIFY(m_logger->log().contains(QStringLiteral("Selecting connection: Retailer <App> & Co")));
        QCOMPARE(m_screen->peerList()->listView()->selectionModel()->selectedRows().size(), 1);

        // A user with a picture and a retailer: the row carries what its picture and flag need.
        QSignalSpy pictures(m_avatars.get(), &AvatarLoader::finished);
        peer.send(QByteArrayLiteral(R"({"user":{"name":"Ada","token":"tok-1","capabilities":[],)"
                                    R"("profileImageURL":"http://127.0.0.1:9/ada.png","isImpersonating":false,)"
                                    R"("isSubuser":false,"isAdmin":true,"tags":["admin","active","placeOrder"],)"
                                    R"("retailer":{"name":"Shop","token":"r1","isActive":true,"country":"usa"}}})"));
        QTRY_COMPARE(row.data(ConnectionListModel::UserCountryRole).toString(), QStringLiteral("usa"));
        QCOMPARE(row.data(ConnectionListModel::UserImageUrlRole).toUrl(), QUrl(QStringLiteral("http://127.0.0.1:9/ada.png")));
        // Nothing listens on port 9: the picture fails and the grey circle stays.
        QTRY_COMPARE_WITH_TIMEOUT(pictures.size(), 1, 20000);
        saveArtifact(m_screen.get(), QStringLiteral("connect-screen-ready.png"));

        // Choosing a file clears the connection silently, and choosing the connection clears the file.
        const QString file = QStringLiteral("file:///tmp/a&b <session>.json");
        m_files->appendFile(file);
        QListWidget *files = m_screen->fileList()->listWidget();
        QTRY_VERIFY(m_screen->fileList()->isVisible());
        QCOMPARE(files->count(), 1);
        QCOMPARE(files->item(0)->text(), QStringLiteral("ID: ") + file);
        const QStringList logBefore = m_logger->log();
        files->item(0)->setSelected(true);
        QCOMPARE(m_files->openedFile(), std::optional<QString>(file));
        QVERIFY(!m_listener->activeConnection());
        QCOMPARE(m_logger->log(), logBefore);
        QVERIFY(!m_screen->selection().connectionId());
        QVERIFY(m_screen->peerList()->listView()->selectionModel()->selectedRows().isEmpty());

        m_screen->peerList()->listView()->setCurrentIndex(model().index(0));
        QCOMPARE(m_listener->activeConnection(), connection);
        QVERIFY(!m_files->openedFile());
        QCOMPARE(m_logger->log().last(), QStringLiteral("Selecting connection: Retailer <App> & Co"));

        // The same file listed twice: opening it marks both rows.
        m_files->appendFile(file);
        QCOMPARE(files->count(), 2);
        const qint64 unmarked = files->item(0)->icon().cacheKey();
        m_files->setOpenedFile(file);
        QVERIFY(files->item(0)->icon().cacheKey() != unmarked);
        QCOMPARE(files->item(0)->icon().cacheKey(), files->item(1)->icon().cacheKey());
    }

    // Opening a connection's menu to delete it must not first make it the timeline's source. The menu
    // prints a connection's details, and deleting the active connection's row keeps it active.
    void aRightClickOpensTheMenuWithoutChoosingTheConnection()
    {
        ScriptedPeer first;
        ScriptedPeer second;
        const auto one = m_session->connectApp(first, QStringLiteral("One"));
        QVERIFY(one);
        QTRY_COMPARE(m_listener->activeConnection(), one);
        const auto two = m_session->connectApp(second, QStringLiteral("Two"));
        QVERIFY(two);
        QListView *list = m_screen->peerList()->listView();
        QTRY_VERIFY(!list->visualRect(model().index(1)).isEmpty());

        const QPoint onTwo = list->visualRect(model().index(1)).center();
        // As the platform delivers a right click: the press, the context-menu request, the release.
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, onTwo);
        QContextMenuEvent request(QContextMenuEvent::Mouse, onTwo, list->viewport()->mapToGlobal(onTwo));
        QApplication::sendEvent(list->viewport(), &request);
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, onTwo);
        QMenu *menu = nullptr;
        QTRY_VERIFY((menu = m_screen->findChild<QMenu *>()) && menu->isVisible());
        QCOMPARE(m_listener->activeConnection(), one);
        QCOMPARE(m_screen->selection().connectionId(), std::optional<QUuid>(one->id()));

        const qsizetype before = m_logger->log().size();
        menu->actions().at(0)->trigger();
        QCOMPARE(m_logger->log().size(), before + 1);
        QCOMPARE(m_logger->log().last(), QStringLiteral("Display name: Two ID: ")
                + two->id().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(" Connection State: ready"));
        menu->actions().at(1)->trigger();
        menu->close();
        QTRY_COMPARE(model().rowCount(), 1);
        QCOMPARE(m_listener->activeConnection(), one);

        // A left click still chooses.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(model().index(0)).center());
        QCOMPARE(m_listener->activeConnection(), one);

        std::unique_ptr<QMenu> ownMenu(m_screen->peerList()->makeContextMenu(0, nullptr));
        ownMenu->actions().at(1)->trigger();
        QCOMPARE(model().rowCount(), 0);
        QCOMPARE(m_screen->peerList()->header()->text(), QStringLiteral("No available connections"));
        QCOMPARE(m_listener->activeConnection(), one);
        QTRY_VERIFY(!first.isConnected());
    }

    // An app named with a megabyte of text: its row is measured and drawn from as much of the name
    // as a row can show, the user's line likewise; the list keeps the whole name.
    void aMegabyteNameIsMeasuredAndDrawnAsFarAsShown()
    {
        ScriptedPeer peer;
        const QString megabyte(1 << 20, QLatin1Char('n'));
        const QString name = QStringLiteral("Shop ") + megabyte;
        QVERIFY(m_session->connectApp(peer, name));
        peer.user(megabyte, QStringLiteral("tok-1"));
        QTRY_COMPARE(model().index(0).data(ConnectionListModel::HasUserRole).toBool(), true);
        const QModelIndex row = model().index(0);
        QCOMPARE(row.data(ConnectionListModel::DisplayNameRole).toString(), name);

        QListView *list = m_screen->peerList()->listView();
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.font = list->font();
        option.widget = list;
        ConnectionEntryDelegate fresh(*m_avatars);
        const int shown = QFontMetrics(list->font()).horizontalAdvance(QString(ShownText::kMaxLength, QLatin1Char('n')));
        QCOMPARE_LE(fresh.sizeHint(option, row).width(), shown + 100);
        list->viewport()->repaint();
        saveArtifact(m_screen.get(), QStringLiteral("connect-screen-megabyte-name.png"));
    }

    // Rows are laid out one below the other at the height their content needs now: a user that
    // arrives, tags that wrap at a narrower width, a badge that changes, measured afresh.
    void rowsKeepTheirHeightsAsTheirContentAndWidthChange()
    {
        ScriptedPeer first;
        ScriptedPeer second;
        ScriptedPeer third;
        QVERIFY(m_session->connectApp(first, QStringLiteral("One")));
        QVERIFY(m_session->connectApp(second, QStringLiteral("Two")));
        QVERIFY(m_session->connectApp(third, QStringLiteral("Three")));
        QListView *list = m_screen->peerList()->listView();
        QTRY_VERIFY(!list->visualRect(model().index(2)).isEmpty());

        ConnectionEntryDelegate fresh(*m_avatars);
        // The first row out of place, or nothing.
        const auto misplacedRow = [&]() -> QString {
            int top = list->visualRect(model().index(0)).top();
            for (int row = 0; row < model().rowCount(); ++row) {
                const QModelIndex index = model().index(row);
                QStyleOptionViewItem option;
                option.initFrom(list);
                option.font = list->font();
                option.widget = list;
                const QRect rect = list->visualRect(index);
                option.rect = rect;
                const int height = fresh.sizeHint(option, index).height();
                if (rect.top() != top || rect.height() != height) {
                    return QStringLiteral("row %1 at %2 with height %3, expected at %4 with height %5")
                        .arg(row).arg(rect.top()).arg(rect.height()).arg(top).arg(height);
                }
                top = rect.bottom() + 1;
            }
            // The list is as tall as its rows, up to its cap.
            if (list->height() != std::min(top - list->visualRect(model().index(0)).top(), 360))
                return QStringLiteral("list of height %1 for rows of %2").arg(list->height()).arg(top);
            return {};
        };
        QCOMPARE(misplacedRow(), QString());
        const int bare = list->visualRect(model().index(0)).height();

        first.send(QByteArrayLiteral(R"({"user":{"name":"Ada","token":"tok-1","capabilities":[],"isImpersonating":false,)"
                                     R"("isSubuser":false,"isAdmin":true,"tags":["admin","active","placeOrder","placeOrder",)"
                                     R"("admin","active","placeOrder","admin"]}})"));
        QTRY_VERIFY(model().index(0).data(ConnectionListModel::HasUserRole).toBool());
        QTRY_COMPARE(misplacedRow(), QString());
        const int wide = list->visualRect(model().index(0)).height();
        QVERIFY(wide > bare);

        m_screen->resize(260, 600);
        QTRY_COMPARE(misplacedRow(), QString());
        QVERIFY(list->visualRect(model().index(0)).height() > wide);

        second.socket().abort();
        QTRY_COMPARE(MorvendaConnection::State(model().index(1).data(ConnectionListModel::StateRole).toInt()),
            MorvendaConnection::State::Failed);
        QVERIFY(model().index(1).data(ConnectionListModel::StateTextRole).toString().startsWith(QStringLiteral("failed")));
        QTRY_COMPARE(misplacedRow(), QString());
        m_screen->resize(700, 600);
        QTRY_COMPARE(misplacedRow(), QString());
        QCOMPARE(list->visualRect(model().index(0)).height(), wide);
    }

    // What the first web view does to the window it joins: the window's platform window is made
    // again, and the spinner's own window goes with the old one. The screen keeps a turning
    // spinner and survives being moved inside the window afterwards.
    void theSpinnerOutlivesANewPlatformWindow()
    {
        m_tester.reset();
        // Makes its platform window again, as Qt does when a web view joins it.
        struct Host : QWidget
        {
            void remakePlatformWindow()
            {
                destroy();
                create();
            }
        } host;
        auto *column = new QVBoxLayout(&host);
        auto *above = new QWidget(&host);
        above->setFixedHeight(10);
        column->addWidget(above);
        ConnectToPeerView *screen = m_screen.release();
        column->addWidget(screen);
        host.resize(700, 600);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QVERIFY(screen->findChild<QWidget *>(QStringLiteral("spinner")));

        host.remakePlatformWindow();
        host.show();
        // Moves the screen, and with it the spinner's container.
        above->setFixedHeight(40);
        QTRY_COMPARE(screen->y(), 40 + column->spacing() + column->contentsMargins().top());
        QWidget *spinner = screen->findChild<QWidget *>(QStringLiteral("spinner"));
        QVERIFY(spinner);
        QTRY_VERIFY(spinner->isVisible());
        QVERIFY(host.windowHandle()->findChild<QWindow *>());
    }

private:
    ConnectionListModel &model() const { return *m_screen->peerList()->model(); }

    std::unique_ptr<LoopbackSession> m_session;
    MorvendaListener *m_listener = nullptr;
    Logger *m_logger = nullptr;
    std::unique_ptr<FileHolder> m_files;
    std::unique_ptr<AvatarLoader> m_avatars;
    std::unique_ptr<ConnectToPeerView> m_screen;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

QTEST_MAIN(TestConnectScreen)
#include "tst_connectscreen.moc"
