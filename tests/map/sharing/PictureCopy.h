#pragma once

#include "TransportHarness.h"
#include "map/sharing/PictureExchange.h"
#include "session/binding/Dispatcher.h"
#include "session/binding/TransportSender.h"
#include "session/transport/TcpSessionTransport.h"
#include "table/Table.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <memory>

// One copy of the program as far as pictures go: a transport on loopback,
// the dispatcher, a cache and a map folder of its own, and the exchange.
namespace vellmar::map::testing {

inline QByteArray randomBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

inline QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What this copy sends goes through here, so a test can lose bulk data the
// way a bulk lane does at a break.
class TestSender final : public table::MessageSender
{
public:
    explicit TestSender(std::unique_ptr<table::MessageSender> inner) : m_inner(std::move(inner)) {}
    bool send(std::int32_t to, std::int32_t type, const QString &payload) override
    {
        return m_inner->send(to, type, payload);
    }
    bool sendBulk(std::int32_t to, std::int32_t type, const QString &payload) override
    {
        return m_inner->sendBulk(to, type, payload);
    }
    bool sendBulkBytes(std::int32_t to, std::int32_t type, const QByteArray &payload) override
    {
        if (loseBulk > 0) {
            --loseBulk;
            return true;
        }
        return m_inner->sendBulkBytes(to, type, payload);
    }
    int loseBulk = 0; // this many bulk messages vanish

private:
    std::unique_ptr<table::MessageSender> m_inner;
};

class PictureCopy : public QObject
{
public:
    explicit PictureCopy(const session::TransportSettings &settings, session::NetworkFaults *faults = nullptr)
        : transport(std::make_unique<session::TcpSessionTransport>(nullptr, settings))
    {
        if (faults)
            transport->setNetworkFaults(faults);
        connect(transport.get(), &session::SessionTransport::receiveEvent, this, [this] {
            if (dispatcher)
                dispatcher->drain(*transport, table.ownPlayerID);
        });
        cache = std::make_unique<PictureCache>(cacheDir.path());
        restartExchange();
    }

    // A fresh exchange and dispatcher over the same cache, as after the
    // program was started again.
    void restartExchange(PictureExchangeSettings settings = {})
    {
        exchange.reset();
        dispatcher = std::make_unique<session::Dispatcher>();
        exchange =
            std::make_unique<PictureExchange>(table.outbox(), table.identity(), *dispatcher, *cache, mapDir.path());
        exchange->setSettings(settings);
        connect(exchange.get(), &PictureSupply::ready, this, [this](const QByteArray &, const QString &path) {
            readyPath = path;
            ++readyCount;
        });
        connect(exchange.get(), &PictureSupply::failed, this,
                [this](const QByteArray &, const QString &reason) { failures.append(reason); });
    }

    bool open(session::OpenMode mode, std::uint16_t port, const QString &name)
    {
        const auto id = session::testing::openOnLoopback(*transport, mode, port, name);
        if (!id)
            return false;
        table.inSession = true;
        table.ownPlayerID = *id;
        table.masterPlayerID = 1;
        table.isMaster = *id == 1;
        sender = std::make_unique<TestSender>(std::make_unique<session::TransportSender>(*transport, *id));
        table.sender = sender.get();
        return true;
    }

    QString mapFile(const QString &name) const { return mapDir.filePath(name); }

    QTemporaryDir cacheDir;
    QTemporaryDir mapDir;
    std::unique_ptr<session::TcpSessionTransport> transport;
    table::Table table;
    std::unique_ptr<TestSender> sender;
    std::unique_ptr<PictureCache> cache;
    std::unique_ptr<session::Dispatcher> dispatcher;
    std::unique_ptr<PictureExchange> exchange;
    QString readyPath;
    int readyCount = 0;
    QStringList failures;
};

} // namespace vellmar::map::testing
