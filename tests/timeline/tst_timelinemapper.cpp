// The row of one exchange: title fallbacks, badge colour, icon and texts, and which footnote
// marker wins. Exchanges come from the real repository, so batch counts are real.
#include "TimelineFixtures.h"

#include "MorvendaApp/timeline/TimelineViewStateMapper.h"

#include <QtTest>

using namespace timelinefixtures;
using Icon = TimelineBadgeState::Icon;

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(TimelineBadgeState::Icon)

class TestTimelineMapper : public QObject
{
    Q_OBJECT

private slots:
    void row_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<std::optional<QString>>("title");
        QTest::addColumn<NamedColor>("color");
        QTest::addColumn<Icon>("icon");
        QTest::addColumn<std::optional<QString>>("mainText");
        QTest::addColumn<std::optional<QString>>("subText");
        QTest::addColumn<std::optional<QString>>("footNote");

        const auto none = std::optional<QString>();
        const auto s = [](const char *text) { return std::optional<QString>(QString::fromUtf8(text)); };
        const QString batchPrefix = id(1000 + 7).toString(QUuid::WithoutBraces).toUpper().left(7);

        QTest::addRow("a response alone that succeeded is orange with no request, titled by its URL")
            << "RES 1 b1 200 network /api/only%20response" << s("/api/only response") << NamedColor::Orange << Icon::NoRequest
            << none << s("200") << none;
        QTest::addRow("a response alone that failed is red with the error icon")
            << "RES 1 b1 404" << s("/api/from-response") << NamedColor::Red << Icon::Error << none << s("404") << none;
        QTest::addRow("a request without response is gray with the upper-case method and no sub text")
            << "REQ 1 post /api/cart" << s("/api/cart") << NamedColor::Gray << Icon::NoResponse << s("POST") << none << none;
        QTest::addRow("a request from the network is green")
            << "REQ 1 get /api/cart; RES 1 b1 201" << s("/api/cart") << NamedColor::Green << Icon::Network << s("GET")
            << s("201") << none;
        QTest::addRow("a request answered from the cache is blue")
            << "REQ 1 delete /api/cart; RES 1 b1 200 cache" << s("/api/cart") << NamedColor::Blue << Icon::Cache
            << s("DELETE") << s("200") << none;
        QTest::addRow("a request whose last response failed is red")
            << "REQ 1 put /x; RES 1 b1 200; RES 1 b1 503" << s("/x") << NamedColor::Red << Icon::Error << s("PUT")
            << s("503") << s("x2");
        QTest::addRow("a request without method has no main text")
            << "REQ 1 - /x; RES 1 b1 200" << s("/x") << NamedColor::Green << Icon::Network << none << s("200") << none;
        QTest::addRow("a request without URL takes its title from the last response")
            << "REQ 1 get -; RES 1 b1 200 network /first; RES 1 b1 200 network /last" << s("/last") << NamedColor::Green
            << Icon::Network << s("GET") << s("200") << s("x2");
        QTest::addRow("an exchange without any URL has no title")
            << "REQ 1 get -" << none << NamedColor::Gray << Icon::NoResponse << s("GET") << none << none;
        QTest::addRow("a URL with an empty path gives an empty title, not none")
            << "REQ 1 get https://shop.example" << s("") << NamedColor::Gray << Icon::NoResponse << s("GET") << none << none;
        QTest::addRow("a batch of three is purple with the batch ID's first seven characters")
            << "REQ 1 get /a; RES 1 b7 200; RES 2 b7 200; RES 3 b7 200" << s("/a") << NamedColor::Purple << Icon::Batch
            << s("GET") << s("200") << std::optional<QString>(batchPrefix + QStringLiteral(" (x3)"));
        QTest::addRow("a batch of one is no batch")
            << "REQ 1 get /a; RES 1 b7 200" << s("/a") << NamedColor::Green << Icon::Network << s("GET") << s("200") << none;
        QTest::addRow("a batched exchange with two responses shows the responses marker")
            << "REQ 1 get /a; RES 1 b7 200; RES 1 b7 200; RES 2 b7 200" << s("/a") << NamedColor::Purple << Icon::Batch
            << s("GET") << s("200") << s("x2");
        QTest::addRow("a batched response alone is orange but keeps the batch marker")
            << "RES 1 b7 200; RES 2 b7 200" << s("/api/from-response") << NamedColor::Orange << Icon::NoRequest << none
            << s("200") << std::optional<QString>(batchPrefix + QStringLiteral(" (x2)"));
    }

    void row()
    {
        QFETCH(QString, script);
        MessageRepository repository;
        run(repository, script);
        const auto exchange = repository.exchange(id(1));
        QVERIFY(exchange);

        const TimelineRowState state = TimelineViewStateMapper().rowState(*exchange);
        QTEST(state.title, "title");
        QVERIFY(state.badge);
        QFETCH(NamedColor, color);
        QCOMPARE(*state.badge->color, color);
        QTEST(state.badge->icon, "icon");
        QTEST(state.badge->mainText, "mainText");
        QTEST(state.badge->subText, "subText");
        QFETCH(std::optional<QString>, footNote);
        QCOMPARE(state.footNote ? std::optional(state.footNote->title) : std::nullopt, footNote);
        if (state.footNote && state.footNote->color == NamedColor::Purple && !footNote->startsWith(QLatin1Char('x'))) {
            const QString batch = exchange->batchID()->toString(QUuid::WithoutBraces).toUpper();
            QCOMPARE(state.footNote->help,
                     QStringLiteral("%1 batched requests with %2 ID.").arg(*exchange->batchCount()).arg(batch));
        }
    }

    void responsesFootNoteColours()
    {
        const TimelineViewStateMapper mapper;
        QVERIFY(!mapper.responsesFootNote(1));
        QCOMPARE(mapper.responsesFootNote(2)->color, NamedColor::Orange);
        QCOMPARE(mapper.responsesFootNote(4)->color, NamedColor::Red);
        QCOMPARE(mapper.responsesFootNote(6)->color, NamedColor::Purple);
    }
};

QTEST_GUILESS_MAIN(TestTimelineMapper)
#include "tst_timelinemapper.moc"
