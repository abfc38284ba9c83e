// Admin page addresses for the tokens apps report: the tokens that a browser reads as path steps,
// and the empty one that names the list of all accounts, give no address, for a retailer, a brand
// or a stored user alike.
#include "MorvendaApp/users/AdminAddress.h"

#include <QTest>

class TestAdminAddress : public QObject
{
    Q_OBJECT

private slots:
    void pathStepTokensGiveNoAddress_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("page");
        QTest::addRow("an empty token") << QStringLiteral("") << QString();
        QTest::addRow("a single dot") << QStringLiteral(".") << QString();
        QTest::addRow("two dots") << QStringLiteral("..") << QString();
        QTest::addRow("three dots, an ordinary segment") << QStringLiteral("...") << QStringLiteral("...");
        QTest::addRow("dots within a token") << QStringLiteral("r..1") << QStringLiteral("r..1");
    }

    void pathStepTokensGiveNoAddress()
    {
        QFETCH(QString, token);
        QFETCH(QString, page);
        const auto text = [](const std::optional<QUrl> &url) {
            return url ? url->toString(QUrl::FullyEncoded) : QString();
        };
        const QString origin = QString::fromLatin1(AdminAddress::kStagingOrigin);
        const QString retailerPage = page.isEmpty() ? QString() : origin + QStringLiteral("/admin2/retailer/") + page;
        const QString brandPage = page.isEmpty() ? QString() : origin + QStringLiteral("/admin2/brand/") + page;
        QCOMPARE(text(AdminAddress::retailer(token)), retailerPage);
        QCOMPARE(text(AdminAddress::brand(token)), brandPage);
        // A stored user's retailer token decides, even when it cannot be opened.
        QCOMPARE(text(AdminAddress::forStoredUser(token, QStringLiteral("b1"))), retailerPage);
        QCOMPARE(text(AdminAddress::forStoredUser(std::nullopt, token)), brandPage);
    }
};

QTEST_MAIN(TestAdminAddress)
#include "tst_adminaddress.moc"
