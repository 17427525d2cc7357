#include "chat/ChatReceiving.h"
#include "dice/RollReceiving.h"
#include "session/binding/Dispatcher.h"
#include "session/protocol/Messages.h"
#include "session/transport/SessionTransport.h"

#include <QRegularExpression>
#include <QtTest/QTest>

#include <deque>

using namespace vellmar::session;

namespace {

// Hands out the messages queued by the test, from the players it names.
class ScriptedTransport final : public SessionTransport
{
public:
    std::deque<ReceivedMessage> inbox;
    QHash<PlayerId, QString> names;

    void queue(PlayerId from, const QByteArray &bytes) { inbox.push_back({from, 0, MessageBuffer(bytes)}); }

    int GetMessageCount(PlayerId) const override { return int(inbox.size()); }
    std::optional<ReceivedMessage> Receive() override
    {
        if (inbox.empty())
            return std::nullopt;
        ReceivedMessage next = std::move(inbox.front());
        inbox.pop_front();
        return next;
    }
    std::optional<QString> GetPlayerFriendlyName(PlayerId id) const override
    {
        if (!names.contains(id))
            return std::nullopt;
        return names.value(id);
    }
    // Not used by the dispatcher.
    QList<ConnectionEntry> GetDPEnumConnections() const override { return {}; }
    bool InitializeConnection(const QString &) override { return false; }
    QList<SessionDescription> GetDPEnumSessions(const SessionDescription &) override { return {}; }
    bool Open(const SessionDescription &, OpenMode) override { return false; }
    std::int32_t CreateEvent() override { return 0; }
    std::optional<PlayerId> CreatePlayer(const QString &) override { return std::nullopt; }
    bool SendEx(PlayerId, PlayerId, int, const MessageBuffer &) override { return false; }
    bool isMasterPlayer(PlayerId) const override { return false; }
    QList<PlayerEntry> GetDPEnumPlayers(const QString &, int) const override { return {}; }
    QString GetGuidApplication() const override { return {}; }
    QString lastError() const override { return {}; }
};

// Every line and hand-over, in the order the receive path made them, with
// the chat and dice subsystems wired in as the program wires them.
class RecordingCopy final
{
public:
    QStringList events;
    bool master = false;
    Dispatcher dispatcher;

    RecordingCopy()
    {
        const auto pane = [this](const QString &line) { events << u"pane: " + line; };
        vellmar::chat::routeChat(dispatcher,
                                 {
                                     pane,
                                     [this](const QString &line) { events << u"party: " + line; },
                                     [this](PlayerId from, const QString &senderName, const QString &text) {
                                         events << QStringLiteral("private %1 %2: %3").arg(from).arg(senderName, text);
                                     },
                                 });
        vellmar::dice::routeRolls(dispatcher, {[this] { return master; }, [] { return QStringLiteral("val"); }, pane});
        for (const auto type : {MSG_REMOVE_MARKER, MSG_PLACE_MARKER, MSG_REQUEST_MARKER, MSG_UPDATE_MARKER}) {
            dispatcher.route(type, Dispatcher::Payload::fields,
                             [this, type](PlayerId from, const QString &, const QString &payload) {
                                 events << QStringLiteral("marker %1 from %2: %3").arg(type).arg(from).arg(payload);
                             });
        }
    }
};

QByteArray withString(std::int32_t type, const QByteArray &utf8)
{
    MessageBuffer buffer;
    buffer.WriteLong(type);
    buffer.WriteLong(std::int32_t(utf8.size()));
    return buffer.bytes() + utf8;
}

void expectWarning(const char *pattern)
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QString::fromLatin1(pattern)));
}

} // namespace

class TestDispatcher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void malformedMessagesAreSkippedAndLoggedAndTheRestHandled()
    {
        ScriptedTransport transport;
        transport.names = {{2, QStringLiteral("Ranger")}, {3, QStringLiteral("Cleric")}};
        transport.queue(2, encodeMessage({MSG_CHAT, QStringLiteral("tail")}) + "x");
        transport.queue(2, withString(MSG_PARTY_CHAT, "ok\xff"));
        transport.queue(2, withString(MSG_PRIVATE_CHAT, "\xed\xa0\x80")); // an encoded surrogate
        transport.queue(2, QByteArray::fromHex("00000003"
                                               "00000009"
                                               "414243"));
        transport.queue(2, QByteArray::fromHex("000000"));
        transport.queue(9, encodeMessage({MSG_CHAT, QStringLiteral("from nowhere")}));
        transport.queue(3, QByteArray::fromHex("00000007"
                                               "ff"));       // not ours: dropped unread
        transport.queue(3, QByteArray::fromHex("00000000")); // the bare type carries the empty text
        transport.queue(3, encodeMessage({MSG_CHAT, QStringLiteral("\uFEFFhello")}));
        transport.queue(3, encodeMessage({MSG_UPDATE_MARKER, QStringLiteral("4;x;1;2")}));

        expectWarning("type 0 from player 2: 1 bytes follow the string");
        expectWarning("type 2 from player 2: the string is not valid UTF-8");
        expectWarning("type 1 from player 2: the string is not valid UTF-8");
        expectWarning("type 3 from player 2: string length 9 does not fit the 3 bytes");
        expectWarning("from player 2: it holds no type");
        expectWarning("type 0 from unknown player 9");
        RecordingCopy target;
        target.dispatcher.drain(transport, 1);

        QCOMPARE(target.events,
                 (QStringList{QStringLiteral("pane: Cleric : "), QStringLiteral("pane: Cleric : \uFEFFhello"),
                              QStringLiteral("marker 12 from 3: 4;x;1;2")}));
        QVERIFY(transport.inbox.empty());
    }

    // A bytes type gets exactly what was sent, line breaks, NULs and
    // invalid UTF-8 included; its layout is still checked. Text types get
    // every line-breaking character as a space and keep all the rest.
    void bytesArriveUntouchedAndTextsOnOneLine()
    {
        ScriptedTransport transport;
        transport.names = {{2, QStringLiteral("Ranger")}};
        const QByteArray raw("\n\x00\xff\r\x7f;x", 7);
        transport.queue(2, encodeBytesMessage(1004, raw));
        transport.queue(2, QByteArray::fromHex("000003ec"));          // the bare type: no bytes
        transport.queue(2, encodeBytesMessage(1004, raw).chopped(1)); // count says one more
        transport.queue(9, encodeBytesMessage(1004, raw));            // unknown sender
        transport.queue(2, encodeMessage({MSG_CHAT, QStringLiteral("a\nb\tc\u007fd\u2028e\u00e9f\U0001F600")}));

        expectWarning("type 1004 from player 2: string length 7 does not fit the 6 bytes");
        expectWarning("type 1004 from unknown player 9");
        RecordingCopy target;
        QList<QByteArray> got;
        target.dispatcher.routeBytes(1004, [&](PlayerId from, QByteArrayView bytes) {
            QCOMPARE(from, 2);
            got.append(bytes.toByteArray());
        });
        target.dispatcher.drain(transport, 1);
        QCOMPARE(got, (QList<QByteArray>{raw, QByteArray()}));
        QCOMPARE(target.events, QStringList{QStringLiteral("pane: Ranger : a b c d e\u00e9f\U0001F600")});
    }

    void eachTypeReachesItsOwnerAloneAndLaterArrivalsWait()
    {
        ScriptedTransport transport;
        transport.names = {{2, QStringLiteral("Ranger")}, {3, QStringLiteral("Cleric")}};
        Dispatcher dispatcher;
        QStringList got;
        const QList<std::int32_t> owned{MSG_CHAT,          MSG_PRIVATE_CHAT, MSG_PARTY_CHAT,     MSG_DICE_ROLL,
                                        MSG_REMOVE_MARKER, MSG_PLACE_MARKER, MSG_REQUEST_MARKER, MSG_UPDATE_MARKER};
        for (const auto type : owned) {
            dispatcher.route(type, Dispatcher::Payload::fields,
                             [&got, &transport, type](PlayerId from, const QString &name, const QString &payload) {
                                 got << QStringLiteral("%1 <- %2 %3: %4").arg(type).arg(from).arg(name, payload);
                                 if (payload == u"again") // arrives while the loop runs
                                     transport.queue(2, encodeMessage({MSG_CHAT, QStringLiteral("later")}));
                             });
        }
        dispatcher.onNotice(NOTICE_PLAYER_CREATED, [&got] { got << QStringLiteral("joined: first"); });
        dispatcher.onNotice(NOTICE_PLAYER_CREATED, [&got] { got << QStringLiteral("joined: second"); });

        QStringList expected;
        for (std::int32_t type = -1; type <= 13; ++type) {
            const PlayerId from = type % 2 == 0 ? 2 : 3;
            transport.queue(from, encodeMessage({type, QString::number(type)}));
            if (owned.contains(type))
                expected << QStringLiteral("%1 <- %2 %3: %1").arg(type).arg(from).arg(transport.names.value(from));
        }
        // Sender 0 is the transport: its 3 is a player joining, not a roll.
        MessageBuffer joined;
        joined.WriteLong(NOTICE_PLAYER_CREATED);
        transport.queue(kSystemSender, joined.bytes());
        MessageBuffer migrated;
        migrated.WriteLong(NOTICE_HOST_MIGRATED);
        transport.queue(kSystemSender, migrated.bytes());
        transport.queue(2, encodeMessage({MSG_CHAT, QStringLiteral("again")}));
        expected << QStringLiteral("joined: first") << QStringLiteral("joined: second")
                 << QStringLiteral("0 <- 2 Ranger: again");

        dispatcher.drain(transport, 1);
        QCOMPARE(got, expected);
        QCOMPARE(transport.inbox.size(), std::size_t(1));
        dispatcher.drain(transport, 1);
        QCOMPARE(got.last(), QStringLiteral("0 <- 2 Ranger: later"));
    }

    void longTextsAreCutBeforeTheyReachATextBoxButMarkerFieldsAreNot()
    {
        constexpr qsizetype limit = Dispatcher::longestShownText;
        ScriptedTransport transport;
        transport.names = {{2, QStringLiteral("Ranger")}};
        const QString flood(100000, u'a');
        // A character of two UTF-16 units that straddles the limit goes as a whole.
        const QString straddling = QString(limit - 1, u'b') + QStringLiteral("🐉") + u"tail";
        const QString longestKept(limit, u'c');
        const QString marker = u"7;" + QString(60000, u'd') + u";1;2";
        for (auto type : {MSG_CHAT, MSG_PARTY_CHAT, MSG_PRIVATE_CHAT, MSG_DICE_ROLL})
            transport.queue(2, encodeMessage({type, flood}));
        transport.queue(2, encodeMessage({MSG_CHAT, straddling}));
        transport.queue(2, encodeMessage({MSG_CHAT, longestKept}));
        transport.queue(2, encodeMessage({MSG_UPDATE_MARKER, marker}));

        for (int i = 0; i < 4; ++i)
            expectWarning("text of 100000 characters from player 2 cut to 40000");
        expectWarning("text of 40005 characters from player 2 cut to 39999");
        RecordingCopy target;
        target.master = true;
        target.dispatcher.drain(transport, 1);

        const QString cut = flood.left(limit) + u'…';
        QCOMPARE(target.events.size(), 7);
        QCOMPARE(target.events.at(0), u"pane: Ranger : " + cut);
        QCOMPARE(target.events.at(1), u"party: Ranger : " + cut);
        QCOMPARE(target.events.at(2), u"private 2 Ranger: " + cut);
        QCOMPARE(target.events.at(3), u"pane: <val>Ranger rolls " + cut);
        QCOMPARE(target.events.at(4), u"pane: Ranger : " + straddling.left(limit - 1) + u'…');
        QCOMPARE(target.events.at(5), u"pane: Ranger : " + longestKept);
        QCOMPARE(target.events.at(6), u"marker 12 from 2: " + marker);
    }
};

QTEST_GUILESS_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"
