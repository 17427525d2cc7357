#include "FakeRouter.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

namespace vellmar::testing {

namespace {

const QByteArray description = R"(<?xml version="1.0"?>
<root xmlns="urn:schemas-upnp-org:device-1-0">
<specVersion><major>1</major><minor>0</minor></specVersion>
<device>
<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>
<friendlyName>Test gateway</friendlyName>
<deviceList><device>
<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>
<serviceList><service>
<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</serviceType>
<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId>
<controlURL>/ctl/CmnIfCfg</controlURL><eventSubURL>/evt/CmnIfCfg</eventSubURL><SCPDURL>/WANCfg.xml</SCPDURL>
</service></serviceList>
<deviceList><device>
<deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>
<serviceList><service>
<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>
<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId>
<controlURL>/ctl/IPConn</controlURL><eventSubURL>/evt/IPConn</eventSubURL><SCPDURL>/WANIPCn.xml</SCPDURL>
</service></serviceList>
</device></deviceList>
</device></deviceList>
</device>
</root>
)";

const QByteArray service = "urn:schemas-upnp-org:service:WANIPConnection:1";

QByteArray httpResponse(int status, const QByteArray &body)
{
    return "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Internal Server Error")
           + "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nContent-Length: " + QByteArray::number(body.size())
           + "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray soapAnswer(const QByteArray &action, const QByteArray &arguments)
{
    return R"(<?xml version="1.0"?><s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" )"
           R"(s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body><u:)"
           + action + "Response xmlns:u=\"" + service + "\">" + arguments + "</u:" + action
           + "Response></s:Body></s:Envelope>";
}

QByteArray soapFault(int code)
{
    return R"(<?xml version="1.0"?><s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" )"
           R"(s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body><s:Fault>)"
           "<faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
           "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>"
           + QByteArray::number(code)
           + "</errorCode><errorDescription>Refused</errorDescription></UPnPError>"
             "</detail></s:Fault></s:Body></s:Envelope>";
}

QString argument(const QByteArray &body, const char *name)
{
    const QRegularExpression pattern(QStringLiteral("<%1>([^<]*)</%1>").arg(QLatin1String(name)));
    return pattern.match(QString::fromUtf8(body)).captured(1);
}

// Reads one HTTP request per connection and answers it.
class UpnpServer : public QTcpServer
{
public:
    UpnpServer(FakeUpnpGateway::Behaviour behaviour, CallLog &log) : m_behaviour(std::move(behaviour)), m_log(log)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        });
    }

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QByteArray header = buffer.left(headerEnd);
        const QRegularExpression lengthPattern(QStringLiteral("content-length:\\s*(\\d+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        const qsizetype length = lengthPattern.match(QString::fromLatin1(header)).captured(1).toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        const QByteArray body = buffer.mid(headerEnd + 4, length);
        m_buffers.remove(socket);
        respond(socket, header, body);
    }

    void respond(QTcpSocket *socket, const QByteArray &header, const QByteArray &body)
    {
        if (header.startsWith("GET")) {
            send(socket, httpResponse(header.contains(" /rootDesc.xml ") ? 200 : 404, description));
            return;
        }
        const QByteArray action = header.mid(header.indexOf('#') + 1).split('"').value(0);
        m_log.add({QString::fromLatin1(action), argument(body, "NewExternalPort"), argument(body, "NewInternalPort"),
                   argument(body, "NewInternalClient"), argument(body, "NewProtocol"), 0});
        if (action == "GetExternalIPAddress") {
            send(socket,
                 httpResponse(200, soapAnswer(action, "<NewExternalIPAddress>" + m_behaviour.externalAddress.toLatin1()
                                                          + "</NewExternalIPAddress>")));
        } else if (action == "AddPortMapping") {
            const QByteArray answer = m_behaviour.refuseAddWith
                                          ? httpResponse(500, soapFault(m_behaviour.refuseAddWith))
                                          : httpResponse(200, soapAnswer(action, {}));
            QTimer::singleShot(m_behaviour.addDelay, socket, [socket, answer] { send(socket, answer); });
        } else {
            send(socket, httpResponse(200, soapAnswer(action, {})));
        }
    }

    static void send(QTcpSocket *socket, const QByteArray &answer)
    {
        socket->write(answer);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    FakeUpnpGateway::Behaviour m_behaviour;
    CallLog &m_log;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

// Answers NAT-PMP's address and TCP mapping requests from 127.0.0.1.
class NatPmpServer : public QUdpSocket
{
public:
    explicit NatPmpServer(CallLog &log) : m_log(log)
    {
        connect(this, &QUdpSocket::readyRead, this, &NatPmpServer::answer);
    }

private:
    void answer()
    {
        while (hasPendingDatagrams()) {
            QByteArray request(pendingDatagramSize(), '\0');
            QHostAddress from;
            quint16 port = 0;
            readDatagram(request.data(), request.size(), &from, &port);
            if (request.size() < 2 || request.at(0) != 0)
                continue;
            const auto op = static_cast<quint8>(request.at(1));
            QByteArray reply(op == 0 ? 12 : 16, '\0');
            reply[1] = static_cast<char>(0x80 | op);
            qToBigEndian<quint32>(1234, reply.data() + 4); // seconds since the router started
            if (op == 0) {
                m_log.add({QStringLiteral("address"), {}, {}, {}, {}, 0});
                qToBigEndian<quint32>(QHostAddress(FakeNatPmpGateway::externalAddress()).toIPv4Address(),
                                      reply.data() + 8);
            } else if (op == 2 && request.size() >= 12) {
                const auto privatePort = qFromBigEndian<quint16>(request.constData() + 4);
                const auto lifetime = qFromBigEndian<quint32>(request.constData() + 8);
                m_log.add(
                    {QStringLiteral("map"), {}, QString::number(privatePort), {}, QStringLiteral("TCP"), lifetime});
                const quint16 publicPort =
                    lifetime ? static_cast<quint16>(privatePort + FakeNatPmpGateway::publicPortOffset) : 0;
                qToBigEndian<quint16>(privatePort, reply.data() + 8);
                qToBigEndian<quint16>(publicPort, reply.data() + 10);
                qToBigEndian<quint32>(lifetime, reply.data() + 12);
            } else {
                continue;
            }
            writeDatagram(reply, from, port);
        }
    }

    CallLog &m_log;
};

} // namespace

FakeUpnpGateway::FakeUpnpGateway(Behaviour behaviour)
{
    m_thread.start();
    auto *server = new UpnpServer(std::move(behaviour), *this);
    server->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, server, &QObject::deleteLater);
    QMetaObject::invokeMethod(
        server,
        [this, server] {
            if (server->listen(QHostAddress::LocalHost))
                m_url = QStringLiteral("http://127.0.0.1:%1/rootDesc.xml").arg(server->serverPort());
        },
        Qt::BlockingQueuedConnection);
}

FakeUpnpGateway::~FakeUpnpGateway()
{
    m_thread.quit();
    m_thread.wait();
}

FakeNatPmpGateway::FakeNatPmpGateway()
{
    m_thread.start();
    auto *server = new NatPmpServer(*this);
    server->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, server, &QObject::deleteLater);
    QMetaObject::invokeMethod(
        server, [this, server] { m_listening = server->bind(QHostAddress::LocalHost, 5351); },
        Qt::BlockingQueuedConnection);
}

FakeNatPmpGateway::~FakeNatPmpGateway()
{
    m_thread.quit();
    m_thread.wait();
}

} // namespace vellmar::testing
