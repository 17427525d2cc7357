#include "SessionParticipants.h"
#include "app/platform/WorkingFolder.h"
#include "session/portmap/PortMapper.h"

#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>

using namespace vellmar;
using namespace vellmar::apptest;

namespace {

// Records what the window asks of the router and answers when the test says.
class FakePortMapper final : public session::PortMapper
{
public:
    struct Log
    {
        std::uint16_t startedWith = 0;
        bool released = false;
        bool destroyed = false;
        FakePortMapper *live = nullptr;
    };
    explicit FakePortMapper(Log &log) : m_log(log) { m_log.live = this; }
    ~FakePortMapper() override
    {
        m_log.destroyed = true;
        m_log.live = nullptr;
    }
    void start(std::uint16_t port) override { m_log.startedWith = port; }
    void release() override { m_log.released = true; }
    void answer(const session::PortMapResult &result) { Q_EMIT finished(result); }

private:
    Log &m_log;
};

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(content) >= 0;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class HostingPortMapTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theHostsStatusBarSaysWhereTheInternetCanJoin_data()
    {
        QTest::addColumn<bool>("mapped");
        QTest::addColumn<QString>("shown");
        QTest::newRow("opened") << true << QStringLiteral("from the internet at 203.0.113.7:");
        QTest::newRow("refused") << false
                                 << QStringLiteral("the router did not open the port for the internet (UPnP: no "
                                                   "router answered the UPnP search)");
    }

    void theHostsStatusBarSaysWhereTheInternetCanJoin()
    {
        QFETCH(bool, mapped);
        QFETCH(QString, shown);
        FakePortMapper::Log log;
        Participant master, player;
        for (Participant *p : {&master, &player})
            p->w().setPortMapperFactory([&log] { return std::make_unique<FakePortMapper>(log); });

        host(master, QStringLiteral("Scout"));
        QVERIFY(log.live);
        QCOMPARE(log.startedWith, master.port());
        const QString status = master.w().statusBar()->currentMessage();
        QVERIFY2(status.startsWith(u"Hosting - players can join at ") && status.endsWith(session::portMapPending()),
                 qPrintable(status));

        session::PortMapResult result;
        result.mapped = mapped;
        result.method = QStringLiteral("UPnP");
        result.externalAddress = QStringLiteral("203.0.113.7");
        result.externalPort = master.port();
        result.reason = QStringLiteral("UPnP: no router answered the UPnP search");
        log.live->answer(result);
        const QString answered = master.w().statusBar()->currentMessage();
        QVERIFY2(answered.startsWith(u"Hosting - players can join at ") && answered.contains(shown),
                 qPrintable(answered));

        // A player does not map anything.
        log.live = nullptr;
        join(player, QStringLiteral("Ranger"), master);
        QVERIFY(!log.live);

        // Ending the program ends hosting: the mapper, which removes the
        // forwarding, goes with the session.
        QVERIFY(!log.destroyed);
        master.questions.yesNoAnswers = {true};
        player.questions.yesNoAnswers = {true}; // closing one copy here closes the other's windows too
        master.w().close();
        QVERIFY(log.destroyed);
    }

    void theWorkingFolderFollowsWhereTheProgramStarts()
    {
        QTemporaryDir root;
        const QString prepared = root.filePath(QStringLiteral("prepared"));
        const QString home = root.filePath(QStringLiteral("home"));
        const QString data = root.filePath(QStringLiteral("data/Vellmar"));
        const QString samples = root.filePath(QStringLiteral("share/vellmar/sample"));
        QVERIFY(writeFile(prepared + u"/map/mapindex.txt", "mapname=Own\n"));
        QVERIFY(QDir().mkpath(home));
        QVERIFY(writeFile(samples + u"/map/mapindex.txt", "mapname=Sample\n"));
        QVERIFY(writeFile(samples + u"/Sounds/doorshut.wav", "RIFF"));

        // A prepared folder stays the working folder and gets nothing.
        QCOMPARE(app::chooseWorkingFolder(prepared, data, samples), prepared);
        QVERIFY(!QFileInfo::exists(data));
        QVERIFY(!QFileInfo::exists(prepared + u"/Sounds/doorshut.wav"));

        // Started elsewhere (from the menu): the data folder, filled once.
        QCOMPARE(app::chooseWorkingFolder(home, data, samples), data);
        QCOMPARE(readFile(data + u"/map/mapindex.txt"), QByteArray("mapname=Sample\n"));
        QCOMPARE(readFile(data + u"/Sounds/doorshut.wav"), QByteArray("RIFF"));

        // The user's changes stay; only what is missing comes back.
        QVERIFY(writeFile(data + u"/map/mapindex.txt", "mapname=Mine\n"));
        QVERIFY(QFile::remove(data + u"/Sounds/doorshut.wav"));
        QCOMPARE(app::chooseWorkingFolder(home, data, samples), data);
        QCOMPARE(readFile(data + u"/map/mapindex.txt"), QByteArray("mapname=Mine\n"));
        QVERIFY(QFileInfo::exists(data + u"/Sounds/doorshut.wav"));

        // The installed layout: <prefix>/bin next to <prefix>/share/vellmar/sample.
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("bin"))));
        QCOMPARE(app::findSamples(root.filePath(QStringLiteral("bin"))), QDir::cleanPath(samples));
        QCOMPARE(app::findSamples(root.filePath(QStringLiteral("elsewhere/bin"))), QString());
    }
};

QTEST_MAIN(HostingPortMapTest)
#include "tst_hosting_portmap.moc"
