#include "MorvendaApp/shell/AlertPresenter.h"

#include "MorvendaApp/core/L10n.h"
#include "tests/support/Artifacts.h"
#include "tests/support/LoopbackSession.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <sys/socket.h>

// Publishes alerts the way the listener does: the last value is kept, every assignment notifies.
class AlertSource : public QObject
{
    Q_OBJECT

public:
    std::optional<Alert::ViewState> current;

    void raise(const std::optional<Alert::ViewState> &alert)
    {
        current = alert;
        emit alertViewStateChanged(alert);
    }

signals:
    void alertViewStateChanged(const std::optional<Alert::ViewState> &alert);
};

namespace {

QStringList buttonTexts(const QMessageBox *box)
{
    QStringList texts;
    for (const QAbstractButton *button : box->buttons())
        texts.append(button->text());
    return texts;
}

QAbstractButton *buttonNamed(const QMessageBox *box, const QString &text)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

Alert::ViewState alertWith(const QString &title, QList<Alert::Action> actions)
{
    return {title, QStringLiteral("message of ") + title, std::move(actions)};
}

// Counts the message boxes that come on screen.
class ShownBoxes : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox *>(watched))
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

qsizetype linesStartingWith(const Logger &logger, const QString &start)
{
    return std::count_if(logger.log().cbegin(), logger.log().cend(), [&](const QString &line) { return line.startsWith(start); });
}

} // namespace

class TestAlertPresenter : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(400, 300);
        m_source = std::make_unique<AlertSource>();
        m_presenter = new AlertPresenter(m_window.get());
    }

    void cleanup()
    {
        m_window.reset();
        m_source.reset();
    }

    void textsArePlainAndButtonsKeepOrderAndRunOnlyTheirOwnCompletion()
    {
        QStringList ran;
        const QString message = QStringLiteral("<b>peer</b> said <a href='x'>no</a>");
        QPointer<QMessageBox> box = showOnWindow({QStringLiteral("<i>Pick</i>"), message,
                                                  {{QStringLiteral("Zeta"), [&ran] { ran << QStringLiteral("Zeta"); }},
                                                   {QStringLiteral("Salt & Pepper"), [&ran] { ran << QStringLiteral("Salt"); }},
                                                   {QStringLiteral("Alpha"), {}}}});
        QVERIFY(box);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        bool messageShown = false;
        for (const QLabel *label : box->findChildren<QLabel *>()) {
            if (!label->text().isEmpty())
                QCOMPARE(label->textFormat(), Qt::PlainText);
            messageShown |= label->text() == message;
        }
        QVERIFY(messageShown);
        QCOMPARE(buttonTexts(box), (QStringList{QStringLiteral("Zeta"), QStringLiteral("Salt && Pepper"), QStringLiteral("Alpha")}));
        saveArtifact(box, QStringLiteral("alert-three-buttons.png"));

        QTest::mouseClick(buttonNamed(box, QStringLiteral("Salt && Pepper")), Qt::LeftButton);
        QCOMPARE(ran, QStringList{QStringLiteral("Salt")});
        QTRY_VERIFY(!box);
        QVERIFY(!m_presenter->shownBox());
    }

    // Escape and Return on a box with buttons of its own: neither may send a command to an app when
    // the alert offers a button that only dismisses it.
    void keysChooseTheDismissingButton_data()
    {
        QTest::addColumn<QStringList>("titles");   // "*" marks a button that runs a completion
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expected");     // the completion run, or "" for none
        const QStringList binary{QStringLiteral("*Disable"), QStringLiteral("Cancel")};
        QTest::addRow("Escape cancels the binary-encoding alert") << binary << int(Qt::Key_Escape) << QString();
        QTest::addRow("Return cancels the binary-encoding alert") << binary << int(Qt::Key_Return) << QString();
        QTest::addRow("Escape picks the dismissing button wherever it stands")
            << QStringList{QStringLiteral("Later"), QStringLiteral("*Go")} << int(Qt::Key_Escape) << QString();
        QTest::addRow("Escape runs the last of buttons that all act")
            << QStringList{QStringLiteral("*One"), QStringLiteral("*Two")} << int(Qt::Key_Escape) << QStringLiteral("Two");
        QTest::addRow("Escape runs a single acting button")
            << QStringList{QStringLiteral("*Go")} << int(Qt::Key_Escape) << QStringLiteral("Go");
    }

    void keysChooseTheDismissingButton()
    {
        QFETCH(QStringList, titles);
        QFETCH(int, key);
        QFETCH(QString, expected);
        QStringList ran;
        QList<Alert::Action> actions;
        for (const QString &marked : titles) {
            const QString title = marked.startsWith(u'*') ? marked.mid(1) : marked;
            std::function<void()> completion;
            if (marked.startsWith(u'*'))
                completion = [&ran, title] { ran.append(title); };
            actions.append({title, completion});
        }
        QPointer<QMessageBox> box = showOnWindow(alertWith(QStringLiteral("Keys"), actions));
        QVERIFY(box);
        box->activateWindow();
        QTRY_VERIFY(box->isActiveWindow());
        QTest::keyClick(box, Qt::Key(key));
        QTRY_VERIFY(!box || !box->isVisible());
        QCOMPARE(ran, expected.isEmpty() ? QStringList() : QStringList{expected});
        QVERIFY(!m_presenter->shownBox());
    }

    void alertRaisedBeforeTheWindowAppearsIsShownOnceAndNotReplayed()
    {
        m_source->raise(Alert::ViewState::legacyCommunicationAlert(QStringLiteral("early")));
        m_presenter->follow(m_source.get(), &AlertSource::alertViewStateChanged, m_source->current);
        QVERIFY(!m_presenter->shownBox());

        m_window->show();
        QTRY_VERIFY(m_presenter->shownBox());
        QMessageBox *box = m_presenter->shownBox();
        QVERIFY(box->informativeText().endsWith(QStringLiteral("early")));
        QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
        QVERIFY(!m_presenter->shownBox());

        // The window's content goes away and comes back; the listener still holds the alert.
        m_window->hide();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCoreApplication::processEvents();
        QVERIFY(!m_presenter->shownBox());

        // The same content assigned again is a new alert.
        m_source->raise(m_source->current);
        QVERIFY(m_presenter->shownBox());
    }

    void alertRaisedAsTheWindowAppearsWinsOverTheEarlierOne()
    {
        m_source->raise(alertWith(QStringLiteral("Early"), {}));
        m_presenter->follow(m_source.get(), &AlertSource::alertViewStateChanged, m_source->current);
        m_window->show();
        m_source->raise(alertWith(QStringLiteral("Late"), {}));
        QCoreApplication::processEvents();
        QVERIFY(m_presenter->shownBox());
        QCOMPARE(m_presenter->shownBox()->text(), QStringLiteral("Late"));
    }

    void anEqualAlertOnScreenIsCountedAndOthersReplaceIt()
    {
        Logger logger;
        m_presenter->setLogger(&logger);
        const Alert::ViewState failed = Alert::ViewState::errorSendingMessageAlert(QStringLiteral("Connection reset by peer"));
        QMessageBox *box = showOnWindow(failed);
        QVERIFY(box);
        for (int i = 0; i < 3; ++i)
            m_source->raise(failed);
        QCOMPARE(m_presenter->shownBox(), box);
        QVERIFY(logger.log().isEmpty()); // counted, not logged one by one

        QTest::mouseClick(buttonNamed(box, QStringLiteral("Ok")), Qt::LeftButton);
        QCOMPARE(logger.log(), QStringList{QStringLiteral("The alert \"%1\" was raised 3 more times while it was shown").arg(failed.title)});
        // Once dismissed, the same alert is shown again.
        m_source->raise(failed);
        QVERIFY(m_presenter->shownBox() && m_presenter->shownBox() != box);

        // Another message, or buttons that act, are new alerts: each replaces the one on screen.
        box = m_presenter->shownBox();
        m_source->raise(Alert::ViewState::errorSendingMessageAlert(QStringLiteral("Broken pipe")));
        QVERIFY(m_presenter->shownBox() != box);
        int ran = 0;
        const auto acting = alertWith(QStringLiteral("Impersonate?"), {{QStringLiteral("Continue"), [&ran] { ++ran; }}});
        m_source->raise(acting);
        QPointer<QMessageBox> old = m_presenter->shownBox();
        m_source->raise(acting);
        QMessageBox *shown = m_presenter->shownBox();
        QVERIFY(shown != old);
        QCOMPARE(logger.log().size(), 1);

        // A replaced box never runs its completion, even for a click that reaches it before it is
        // deleted; assigning none leaves the shown alert on screen.
        QVERIFY(!old || !old->isVisible());
        if (old)
            emit old->buttonClicked(old->buttons().first());
        QTRY_VERIFY(!old);
        m_source->raise(std::nullopt);
        QCOMPARE(m_presenter->shownBox(), shown);
        QVERIFY(shown->isVisible());
        QCOMPARE(ran, 0);
        QTest::mouseClick(buttonNamed(shown, QStringLiteral("Continue")), Qt::LeftButton);
        QCOMPARE(ran, 1);
    }

    // An app sends thousands of handshakes on one socket, never reads the hellos and closes: every
    // hello still waiting fails at once. One alert comes on screen, the log counts the rest, and
    // another app still connects and is answered at once.
    void aStormOfFailedSendsShowsOneAlertAndLetsOtherAppsIn()
    {
        LoopbackSession session;
        MorvendaListener &listener = session.listener;
        Logger &logger = session.logger;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_presenter->setLogger(&logger);
        m_presenter->follow(&listener, &MorvendaListener::alertViewStateChanged, listener.alertViewState());
        ShownBoxes shown;
        qApp->installEventFilter(&shown);

        ScriptedPeer storm;
        QVERIFY(storm.connectTo(listener.serverPort()));
        // Small buffers on both ends, so the hellos pile up in the server instead of the kernel.
        const int small = 4096;
        QVERIFY(::setsockopt(int(storm.socket().socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small) == 0);
        storm.socket().setReadBufferSize(1);
        QTRY_COMPARE(listener.pendingConnections().size(), 1);
        const auto connection = listener.pendingConnections().first();
        QVERIFY(::setsockopt(int(connection->socketDescriptor()), SOL_SOCKET, SO_SNDBUF, &small, sizeof small) == 0);
        const int handshakes = 20'000;
        QByteArray flood;
        for (int i = 0; i < handshakes; ++i)
            flood += *MorvendaFramer::frame(R"({"handshake":"Storm"})");
        storm.sendRaw(flood);
        storm.handshake(QStringLiteral("Storm end"));
        QTRY_COMPARE_WITH_TIMEOUT(connection->displayName(), QStringLiteral("Storm end"), 60000);
        QVERIFY(connection->pendingOutputBytes() > 100'000); // most hellos wait
        QCOMPARE(shown.count, 0);

        storm.socket().abort(); // with unread data: a reset
        QTRY_VERIFY(!connection->isOpen());
        auto second = std::make_unique<ScriptedPeer>();
        QVERIFY(second->connectTo(listener.serverPort()));
        second->handshake(QStringLiteral("Second"));
        QTRY_COMPARE(second->frames().size(), 1);

        const QString failed = QStringLiteral("<ERROR: Failed to send app payload: ");
        QTRY_COMPARE(linesStartingWith(logger, failed), 2);
        QCOMPARE(shown.count, 1);
        QCOMPARE(m_presenter->shownBox()->windowTitle(), L10n::text("ErrorSendingMessageAlert.title"));
        // Every hello is accounted for: sent, the first failure, or counted with it.
        const QString &countLine = *std::find_if(logger.log().cbegin(), logger.log().cend(),
            [&](const QString &line) { return line.startsWith(failed) && line.contains(QStringLiteral("more sends failed the same way")); });
        const qsizetype repeats = countLine.section(u'(', -1).section(u' ', 0, 0).toLongLong();
        const qsizetype sent = linesStartingWith(logger, QStringLiteral("Successfully sent app payload"));
        QCOMPARE(sent + 1 + repeats, qsizetype(handshakes + 2)); // the storm's, its last one's and the second app's
        qApp->removeEventFilter(&shown);
    }

private:
    QMessageBox *showOnWindow(const Alert::ViewState &alert)
    {
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return nullptr;
        m_presenter->follow(m_source.get(), &AlertSource::alertViewStateChanged, m_source->current);
        m_source->raise(alert);
        return m_presenter->shownBox();
    }

    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<AlertSource> m_source;
    AlertPresenter *m_presenter = nullptr;
};

QTEST_MAIN(TestAlertPresenter)
#include "tst_alertpresenter.moc"
