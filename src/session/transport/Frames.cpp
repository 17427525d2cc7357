#include "Frames.h"

#include "session/protocol/WireBytes.h"

namespace vellmar::session {

namespace {

// Every handshake-like body starts with magic, version and application id,
// so a peer of another version can still be told why it is refused.
void writeHead(wire::Writer &w, const QString &guid, std::uint16_t version)
{
    w.u32(kWireMagic).u16(version).text(guid);
}

bool readHead(wire::Reader &r, QString *guid, std::uint16_t *version)
{
    if (r.u32() != kWireMagic)
        return false;
    *version = r.u16();
    *guid = r.text(kMaxGuidBytes);
    return r.ok();
}

void writeEntry(wire::Writer &w, const RosterEntry &e)
{
    w.u32(e.id).text(e.name).text(e.address).u16(e.listenPort).u64(e.tokenHash).u8(e.roles);
}

// Ids are positive 32-bit values so they fit the application's signed ids.
bool validId(std::uint32_t id) { return id != 0 && id <= 0x7fffffffu; }

RosterEntry readEntry(wire::Reader &r)
{
    RosterEntry e;
    e.id = r.u32();
    e.name = r.text(kMaxNameBytes);
    e.address = r.text(kMaxAddressBytes);
    e.listenPort = r.u16();
    e.tokenHash = r.u64();
    e.roles = r.u8();
    if (!validId(e.id) || e.name.isEmpty() || (e.roles & ~kRoleMaster) != 0)
        r.fail();
    return e;
}

template <typename T>
std::optional<T> finish(const wire::Reader &r, T value)
{
    if (!r.finishedCleanly())
        return std::nullopt;
    return value;
}

} // namespace

QByteArray encode(const HelloFrame &f)
{
    wire::Writer w;
    writeHead(w, f.guidApplication, f.version);
    w.text(f.name).u16(f.listenPort).u8(f.requests);
    return encodeFrame(FrameKind::Hello, w.buffer());
}

QByteArray encode(const ResumeFrame &f)
{
    wire::Writer w;
    writeHead(w, f.guidApplication, f.version);
    w.u32(f.playerId).u64(f.token).u32(f.epoch).u64(f.lastSeq).text(f.name).u16(f.listenPort);
    return encodeFrame(FrameKind::Resume, w.buffer());
}

QByteArray encode(const QueryFrame &f)
{
    wire::Writer w;
    writeHead(w, f.guidApplication, f.version);
    return encodeFrame(FrameKind::Query, w.buffer());
}

QByteArray encode(const WelcomeFrame &f)
{
    wire::Writer w;
    w.u32(f.playerId).u64(f.token).u32(f.epoch).u64(f.lastSeq).u32(f.highestId).u32(f.hostId);
    w.text(f.sessionName).u32(f.maxPlayers).u32(f.flags);
    w.u32(static_cast<std::uint32_t>(f.roster.size()));
    for (const auto &e : f.roster)
        writeEntry(w, e);
    return encodeFrame(FrameKind::Welcome, w.buffer());
}

QByteArray encode(const RejectFrame &f)
{
    wire::Writer w;
    w.u8(static_cast<std::uint8_t>(f.reason)).text(f.text);
    if (f.reason == RejectReason::NotHost)
        w.u32(f.hostId).text(f.hostAddress).u16(f.hostPort);
    return encodeFrame(FrameKind::Reject, w.buffer());
}

QByteArray encode(const InfoFrame &f)
{
    wire::Writer w;
    writeHead(w, f.guidApplication, f.version);
    w.text(f.sessionName).u32(f.maxPlayers).u32(f.players).u32(f.flags).u16(f.tcpPort);
    return encodeFrame(FrameKind::Info, w.buffer());
}

QByteArray encode(const ChallengeFrame &f)
{
    wire::Writer w;
    w.bytes(f.salt).u32(f.rounds).bytes(f.nonce);
    return encodeFrame(FrameKind::Challenge, w.buffer());
}

QByteArray encode(const ProofFrame &f)
{
    wire::Writer w;
    w.bytes(f.mac);
    return encodeFrame(FrameKind::Proof, w.buffer());
}

QByteArray encode(const SendFrame &f)
{
    wire::Writer w;
    w.u64(f.csn).u32(f.to).bytes(f.payload);
    return encodeFrame(FrameKind::Send, w.buffer());
}

QByteArray encode(const DeliverFrame &f, FrameKind kind)
{
    wire::Writer w;
    w.u64(f.seq).u32(f.from).u32(f.to).u64(f.csn).bytes(f.payload);
    return encodeFrame(kind, w.buffer());
}

QByteArray encode(const AckFrame &f)
{
    wire::Writer w;
    w.u64(f.csn).u64(f.seq);
    return encodeFrame(FrameKind::Ack, w.buffer());
}

QByteArray encode(const JoinedFrame &f)
{
    wire::Writer w;
    w.u64(f.seq);
    writeEntry(w, f.player);
    return encodeFrame(FrameKind::Joined, w.buffer());
}

QByteArray encode(const LeftFrame &f)
{
    wire::Writer w;
    w.u64(f.seq).u32(f.id);
    return encodeFrame(FrameKind::Left, w.buffer());
}

QByteArray encode(const ReplayRequestFrame &f)
{
    wire::Writer w;
    w.u64(f.fromSeq);
    return encodeFrame(FrameKind::ReplayRequest, w.buffer());
}

QByteArray bulkSendHead(std::uint32_t to, qsizetype payloadBytes)
{
    const auto count = static_cast<std::uint32_t>(payloadBytes);
    wire::Writer w;
    w.u32(1 + 4 + 4 + count).u8(static_cast<std::uint8_t>(FrameKind::BulkSend)).u32(to).u32(count);
    return w.take();
}

QByteArray bulkDeliverHead(std::uint32_t from, std::uint32_t to, qsizetype payloadBytes)
{
    const auto count = static_cast<std::uint32_t>(payloadBytes);
    wire::Writer w;
    w.u32(1 + 4 + 4 + 4 + count).u8(static_cast<std::uint8_t>(FrameKind::BulkDeliver)).u32(from).u32(to).u32(count);
    return w.take();
}

QByteArray encode(const BulkSendFrame &f) { return bulkSendHead(f.to, f.payload.size()) + f.payload; }

QByteArray encode(const BulkDeliverFrame &f) { return bulkDeliverHead(f.from, f.to, f.payload.size()) + f.payload; }

QByteArray encodeEmpty(FrameKind kind) { return encodeFrame(kind, {}); }

std::optional<HelloFrame> parseHello(QByteArrayView body)
{
    wire::Reader r(body);
    HelloFrame f;
    if (!readHead(r, &f.guidApplication, &f.version))
        return std::nullopt;
    if (f.version != kProtocolVersion)
        return f; // the rest is laid out by another version; the host refuses it
    f.name = r.text(kMaxNameBytes);
    f.listenPort = r.u16();
    f.requests = r.u8();
    if (f.name.isEmpty() || (f.requests & ~kRequestMaster) != 0)
        r.fail();
    return finish(r, f);
}

std::optional<ResumeFrame> parseResume(QByteArrayView body)
{
    wire::Reader r(body);
    ResumeFrame f;
    if (!readHead(r, &f.guidApplication, &f.version))
        return std::nullopt;
    if (f.version != kProtocolVersion)
        return f;
    f.playerId = r.u32();
    f.token = r.u64();
    f.epoch = r.u32();
    f.lastSeq = r.u64();
    f.name = r.text(kMaxNameBytes);
    f.listenPort = r.u16();
    if (!validId(f.playerId) || f.name.isEmpty())
        r.fail();
    return finish(r, f);
}

std::optional<QueryFrame> parseQuery(QByteArrayView body)
{
    wire::Reader r(body);
    QueryFrame f;
    if (!readHead(r, &f.guidApplication, &f.version))
        return std::nullopt;
    if (f.version != kProtocolVersion)
        return f;
    return finish(r, f);
}

std::optional<WelcomeFrame> parseWelcome(QByteArrayView body)
{
    wire::Reader r(body);
    WelcomeFrame f;
    f.playerId = r.u32();
    f.token = r.u64();
    f.epoch = r.u32();
    f.lastSeq = r.u64();
    f.highestId = r.u32();
    f.hostId = r.u32();
    f.sessionName = r.text(kMaxNameBytes);
    f.maxPlayers = r.u32();
    f.flags = r.u32();
    const std::uint32_t count = r.u32();
    if (!validId(f.playerId) || !validId(f.hostId) || count > kMaxRosterEntries)
        return std::nullopt;
    for (std::uint32_t i = 0; i < count && r.ok(); ++i)
        f.roster.append(readEntry(r));
    return finish(r, f);
}

std::optional<RejectFrame> parseReject(QByteArrayView body)
{
    wire::Reader r(body);
    RejectFrame f;
    f.reason = static_cast<RejectReason>(r.u8());
    f.text = r.text(kMaxNameBytes);
    if (f.reason == RejectReason::NotHost) {
        f.hostId = r.u32();
        f.hostAddress = r.text(kMaxAddressBytes);
        f.hostPort = r.u16();
        if (f.hostId != 0 && (!validId(f.hostId) || f.hostPort == 0))
            r.fail();
    }
    return finish(r, f);
}

std::optional<InfoFrame> parseInfo(QByteArrayView body)
{
    wire::Reader r(body);
    InfoFrame f;
    if (!readHead(r, &f.guidApplication, &f.version))
        return std::nullopt;
    if (f.version != kProtocolVersion)
        return f;
    f.sessionName = r.text(kMaxNameBytes);
    f.maxPlayers = r.u32();
    f.players = r.u32();
    f.flags = r.u32();
    f.tcpPort = r.u16();
    return finish(r, f);
}

std::optional<ChallengeFrame> parseChallenge(QByteArrayView body)
{
    wire::Reader r(body);
    ChallengeFrame f;
    f.salt = r.bytes(kMaxSaltBytes);
    f.rounds = r.u32();
    f.nonce = r.bytes(kNonceBytes);
    if (f.salt.size() < qsizetype(kMinSaltBytes) || f.rounds == 0 || f.rounds > kMaxKeyRounds
        || f.nonce.size() != qsizetype(kNonceBytes))
        return std::nullopt;
    return finish(r, f);
}

std::optional<ProofFrame> parseProof(QByteArrayView body)
{
    wire::Reader r(body);
    ProofFrame f;
    f.mac = r.bytes(kProofBytes);
    if (f.mac.size() != qsizetype(kProofBytes))
        return std::nullopt;
    return finish(r, f);
}

std::optional<SendFrame> parseSend(QByteArrayView body)
{
    wire::Reader r(body);
    SendFrame f;
    f.csn = r.u64();
    f.to = r.u32();
    f.payload = r.bytes(kMaxPayloadBytes);
    if (f.csn == 0 || (f.to != 0 && !validId(f.to)))
        return std::nullopt;
    return finish(r, f);
}

std::optional<DeliverFrame> parseDeliver(QByteArrayView body)
{
    wire::Reader r(body);
    DeliverFrame f;
    f.seq = r.u64();
    f.from = r.u32();
    f.to = r.u32();
    f.csn = r.u64();
    f.payload = r.bytes(kMaxPayloadBytes);
    if (!validId(f.from) || (f.to != 0 && !validId(f.to)))
        return std::nullopt;
    return finish(r, f);
}

std::optional<AckFrame> parseAck(QByteArrayView body)
{
    wire::Reader r(body);
    AckFrame f;
    f.csn = r.u64();
    f.seq = r.u64();
    return finish(r, f);
}

std::optional<JoinedFrame> parseJoined(QByteArrayView body)
{
    wire::Reader r(body);
    JoinedFrame f;
    f.seq = r.u64();
    f.player = readEntry(r);
    return finish(r, f);
}

std::optional<LeftFrame> parseLeft(QByteArrayView body)
{
    wire::Reader r(body);
    LeftFrame f;
    f.seq = r.u64();
    f.id = r.u32();
    if (!validId(f.id))
        return std::nullopt;
    return finish(r, f);
}

std::optional<ReplayRequestFrame> parseReplayRequest(QByteArrayView body)
{
    wire::Reader r(body);
    ReplayRequestFrame f;
    f.fromSeq = r.u64();
    return finish(r, f);
}

std::optional<BulkSendFrame> parseBulkSend(QByteArrayView body)
{
    wire::Reader r(body);
    BulkSendFrame f;
    f.to = r.u32();
    f.payload = r.bytes(kMaxPayloadBytes);
    if (f.to != 0 && !validId(f.to))
        return std::nullopt;
    return finish(r, f);
}

std::optional<BulkDeliverFrame> parseBulkDeliver(QByteArrayView body)
{
    wire::Reader r(body);
    BulkDeliverFrame f;
    f.from = r.u32();
    f.to = r.u32();
    f.payload = r.bytes(kMaxPayloadBytes);
    if (!validId(f.from) || (f.to != 0 && !validId(f.to)))
        return std::nullopt;
    return finish(r, f);
}

bool parseEmpty(QByteArrayView body) { return body.isEmpty(); }

QString versionMismatchText(std::uint16_t hostVersion, std::uint16_t copyVersion)
{
    if (hostVersion > copyVersion)
        return QStringLiteral("The host runs a newer Vellmar (protocol %1) than this copy (protocol %2): "
                              "update this copy to join")
            .arg(hostVersion)
            .arg(copyVersion);
    return QStringLiteral("The host runs an older Vellmar (protocol %1) than this copy (protocol %2): "
                          "the host needs the same version")
        .arg(hostVersion)
        .arg(copyVersion);
}

Handshake parseHandshake(FrameKind kind, QByteArrayView body)
{
    switch (kind) {
    case FrameKind::Hello:
        if (auto f = parseHello(body))
            return *f;
        break;
    case FrameKind::Resume:
        if (auto f = parseResume(body))
            return *f;
        break;
    case FrameKind::Query:
        if (auto f = parseQuery(body))
            return *f;
        break;
    default:
        break;
    }
    return std::monostate{};
}

} // namespace vellmar::session
