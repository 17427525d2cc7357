#include "BenchMembers.h"

#include "session/protocol/Messages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

using namespace vellmar::session;
using Clock = std::chrono::steady_clock;

namespace vellmar::bench {

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void Member::drain()
{
    const int n = t->GetMessageCount(id);
    for (int i = 0; i < n; ++i) {
        auto m = t->Receive();
        if (!m)
            break;
        const auto type = m->message.ReadLong().value_or(-1);
        if (m->from == 0) {
            const auto about = m->message.ReadLong().value_or(0);
            migrated |= type == NOTICE_HOST_MIGRATED;
            sawHostLeave |= type == NOTICE_PLAYER_DESTROYED && about == hostId;
            continue;
        }
        ++delivered;
        if (measuring) {
            const auto text = m->message.ReadString().value_or(QString());
            latencies.push_back(static_cast<double>(nowNs() - text.toLongLong()) / 1000.0);
        }
    }
}

QString memoryOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("(memory unknown)");
    QString rss, hwm;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const auto value = [&] { return QString::fromLatin1(line.mid(6).simplified()); };
        if (line.startsWith("VmRSS:"))
            rss = value();
        else if (line.startsWith("VmHWM:"))
            hwm = value();
    }
    return QStringLiteral("host memory VmRSS %1, VmHWM %2").arg(rss, hwm);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

bool say(Member &m, const QString &text)
{
    return m.t->SendEx(m.id, 0, 1, MessageBuffer(encodeMessage({MSG_CHAT, text})));
}

void spin(std::chrono::milliseconds ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds ms)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

std::unique_ptr<Member> joinMember(std::uint16_t port, PlayerId hostId, const QString &name, double *joinMs)
{
    auto m = std::make_unique<Member>();
    m->hostId = hostId;
    m->t = std::make_unique<TcpSessionTransport>(nullptr, benchSettings());
    m->t->InitializeConnection(m->t->GetDPEnumConnections().last().address);
    SessionDescription d;
    d.guidApplication = kGuid;
    d.hostAddress = QStringLiteral("127.0.0.1");
    d.hostPort = port;
    m->t->Open(d, OpenMode::Join);
    m->t->CreateEvent();
    QElapsedTimer clock;
    clock.start();
    const auto id = m->t->CreatePlayer(name);
    if (joinMs)
        *joinMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (!id) {
        std::fprintf(stderr, "join of %s failed: %s\n", qPrintable(name), qPrintable(m->t->lastError()));
        return nullptr;
    }
    m->id = *id;
    Member *raw = m.get();
    QObject::connect(m->t.get(), &SessionTransport::receiveEvent, [raw] { raw->drain(); });
    return m;
}

int sendAtRate(std::vector<std::unique_ptr<Member>> &peers, double rate, int seconds)
{
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    std::size_t next = 0;
    int sent = 0;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double due = static_cast<double>(clock.nsecsElapsed()) / 1e9 * rate;
        while (sent < static_cast<int>(due)) {
            say(*peers[next], QString::number(nowNs()));
            next = (next + 1) % peers.size();
            ++sent;
        }
    });
    tick.start();
    spin(std::chrono::seconds(seconds));
    return sent;
}
std::unique_ptr<QSocketNotifier> onCommandLines(std::function<void(const QByteArray &line)> handle)
{
    auto input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(input.get(), &QSocketNotifier::activated,
                     [handle = std::move(handle), line = QByteArray()]() mutable {
                         char c = 0;
                         if (::read(STDIN_FILENO, &c, 1) != 1) {
                             QCoreApplication::quit();
                             return;
                         }
                         if (c != '\n') {
                             line.append(c);
                             return;
                         }
                         handle(std::exchange(line, {}));
                     });
    return input;
}

} // namespace vellmar::bench
