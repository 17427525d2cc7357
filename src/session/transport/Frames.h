#pragma once

#include "FrameCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

// The body of every frame kind as a struct, with its encoder and a strict
// parser. Parsers accept a body only when every field is present, within its
// limits, and nothing trails it; anything else is treated as garbage.
namespace vellmar::session {

constexpr std::uint32_t kWireMagic = 0x564C4D52; // "VLMR"
// 2: a NotHost refusal names the host to go to instead.
// 3: BulkSend and BulkDeliver, a lane for bulk data beside the sequence.
//    Roster entries carry roles, a Hello may ask for the master role, and a
//    host may ask for a session password (Challenge and Proof).
constexpr std::uint16_t kProtocolVersion = 3;
constexpr std::uint32_t kMaxNameBytes = 256;
constexpr std::uint32_t kMaxGuidBytes = 64;
constexpr std::uint32_t kMaxAddressBytes = 256;
constexpr std::uint32_t kMaxRosterEntries = 1024;

// The largest application payload. It is set by the biggest frame that
// carries one: a Deliver (and a Replay, laid out alike) spends 29 bytes of
// its length on kind, seq, from, to, csn and the payload's count, so with
// this limit every frame that carries a legal payload fits the default
// frame cap of every receiver. A Send carries 12 bytes less, which is why
// the limit cannot be read off the Send frame.
constexpr std::uint32_t kDeliverOverheadBytes = 1 + 8 + 4 + 4 + 8 + 4;
constexpr std::uint32_t kDefaultMaxFrameBytes = 64 * 1024;
constexpr std::uint32_t kMaxPayloadBytes = kDefaultMaxFrameBytes - kDeliverOverheadBytes; // 65,507
// What a sender may hand over when it and its receivers use that cap.
constexpr std::uint32_t maxPayloadFor(std::uint32_t maxFrameBytes)
{
    const std::uint32_t fits = maxFrameBytes > kDeliverOverheadBytes ? maxFrameBytes - kDeliverOverheadBytes : 0;
    return fits < kMaxPayloadBytes ? fits : kMaxPayloadBytes;
}

enum class RejectReason : std::uint8_t {
    WrongApplication = 1,
    WrongVersion = 2,
    SessionFull = 3,
    NotHost = 4, // go to the host it names instead (or retry shortly)
    UnknownPlayer = 5,
    HistoryLost = 6, // resume came too late for the history kept
    Malformed = 7,
    Busy = 8, // too many connections still in their handshake
    WrongPassword = 9,
};

// Roster entry roles, stamped by the host that admitted the player and never
// changed for that id.
constexpr std::uint8_t kRoleMaster = 1;
// Hello requests.
constexpr std::uint8_t kRequestMaster = 1;

// Session password parameters a host may use; a member refuses others, so a
// hostile host cannot make it spend minutes deriving a key.
constexpr std::uint32_t kMinSaltBytes = 16;
constexpr std::uint32_t kMaxSaltBytes = 64;
constexpr std::uint32_t kMaxKeyRounds = 1000000;
constexpr std::uint32_t kNonceBytes = 32;
constexpr std::uint32_t kProofBytes = 32;

struct RosterEntry
{
    std::uint32_t id = 0;
    QString name;
    QString address;
    std::uint16_t listenPort = 0;
    std::uint64_t tokenHash = 0; // lets a new host check a resume without knowing the token
    std::uint8_t roles = 0;      // kRoleMaster
    bool operator==(const RosterEntry &) const = default;
};

struct HelloFrame
{
    QString guidApplication;
    std::uint16_t version = kProtocolVersion;
    QString name;
    std::uint16_t listenPort = 0;
    std::uint8_t requests = 0; // kRequestMaster
    bool operator==(const HelloFrame &) const = default;
};

struct ResumeFrame
{
    QString guidApplication;
    std::uint16_t version = kProtocolVersion;
    std::uint32_t playerId = 0;
    std::uint64_t token = 0;
    std::uint32_t epoch = 0;
    std::uint64_t lastSeq = 0;
    QString name;
    std::uint16_t listenPort = 0;
    bool operator==(const ResumeFrame &) const = default;
};

struct QueryFrame
{
    QString guidApplication;
    std::uint16_t version = kProtocolVersion;
    bool operator==(const QueryFrame &) const = default;
};

struct WelcomeFrame
{
    std::uint32_t playerId = 0;
    std::uint64_t token = 0;
    std::uint32_t epoch = 0;
    std::uint64_t lastSeq = 0;
    std::uint32_t highestId = 0;
    std::uint32_t hostId = 0;
    QString sessionName;
    std::uint32_t maxPlayers = 0;
    std::uint32_t flags = 0;
    QList<RosterEntry> roster; // in join order
    bool operator==(const WelcomeFrame &) const = default;
};

struct RejectFrame
{
    RejectReason reason = RejectReason::Malformed;
    QString text;
    // NotHost only: the host the refusing member is connected to (id 0: it
    // has none either, ask again shortly). An empty or loopback address
    // means the address the refusing member was reached at.
    std::uint32_t hostId = 0;
    QString hostAddress;
    std::uint16_t hostPort = 0;
    bool operator==(const RejectFrame &) const = default;
};

struct InfoFrame
{
    QString guidApplication;
    std::uint16_t version = kProtocolVersion;
    QString sessionName;
    std::uint32_t maxPlayers = 0;
    std::uint32_t players = 0;
    std::uint32_t flags = 0;
    std::uint16_t tcpPort = 0;
    bool operator==(const InfoFrame &) const = default;
};

// The host's question before it admits anyone to a session with a password:
// prove the password with HMAC-SHA-256 over the nonce, keyed with the key
// derived from it (PBKDF2-HMAC-SHA-256 over salt and rounds).
struct ChallengeFrame
{
    QByteArray salt;
    std::uint32_t rounds = 0;
    QByteArray nonce;
    bool operator==(const ChallengeFrame &) const = default;
};

struct ProofFrame
{
    QByteArray mac;
    bool operator==(const ProofFrame &) const = default;
};

struct SendFrame
{
    std::uint64_t csn = 0; // sender's own message counter, for de-duplication
    std::uint32_t to = 0;
    QByteArray payload;
    bool operator==(const SendFrame &) const = default;
};

// Also the body of a Replay frame (seq 0 = never confirmed by a host).
struct DeliverFrame
{
    std::uint64_t seq = 0;
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint64_t csn = 0;
    QByteArray payload;
    bool operator==(const DeliverFrame &) const = default;
};

struct AckFrame
{
    std::uint64_t csn = 0;
    std::uint64_t seq = 0; // 0: a duplicate, already sequenced earlier
    bool operator==(const AckFrame &) const = default;
};

struct JoinedFrame
{
    std::uint64_t seq = 0;
    RosterEntry player;
    bool operator==(const JoinedFrame &) const = default;
};

struct LeftFrame
{
    std::uint64_t seq = 0;
    std::uint32_t id = 0;
    bool operator==(const LeftFrame &) const = default;
};

// Bulk data: not sequenced, not acknowledged, never replayed, so neither
// carries a seq or a csn. The host stamps the sender on the BulkDeliver.
struct BulkSendFrame
{
    std::uint32_t to = 0;
    QByteArray payload;
    bool operator==(const BulkSendFrame &) const = default;
};

struct BulkDeliverFrame
{
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    QByteArray payload;
    bool operator==(const BulkDeliverFrame &) const = default;
};

// From a new host: send what you have with a seq above fromSeq, plus what
// was never confirmed.
struct ReplayRequestFrame
{
    std::uint64_t fromSeq = 0;
    bool operator==(const ReplayRequestFrame &) const = default;
};

QByteArray encode(const HelloFrame &f);
QByteArray encode(const ResumeFrame &f);
QByteArray encode(const QueryFrame &f);
QByteArray encode(const WelcomeFrame &f);
QByteArray encode(const RejectFrame &f);
QByteArray encode(const InfoFrame &f);
QByteArray encode(const ChallengeFrame &f);
QByteArray encode(const ProofFrame &f);
QByteArray encode(const SendFrame &f);
QByteArray encode(const DeliverFrame &f, FrameKind kind = FrameKind::Deliver);
QByteArray encode(const AckFrame &f);
QByteArray encode(const JoinedFrame &f);
QByteArray encode(const LeftFrame &f);
QByteArray encode(const ReplayRequestFrame &f);
QByteArray encode(const BulkSendFrame &f);
QByteArray encode(const BulkDeliverFrame &f);
QByteArray encodeEmpty(FrameKind kind); // Ping, Bye, ReplayEnd
// The bytes of a BulkSend or BulkDeliver before its payload: written with
// the payload right behind them they make the whole frame, so bulk data is
// never copied into a frame of its own.
QByteArray bulkSendHead(std::uint32_t to, qsizetype payloadBytes);
QByteArray bulkDeliverHead(std::uint32_t from, std::uint32_t to, qsizetype payloadBytes);

// A Send, Deliver, Replay, BulkSend or BulkDeliver whose payload is over kMaxPayloadBytes is invalid.
std::optional<HelloFrame> parseHello(QByteArrayView body);
std::optional<ResumeFrame> parseResume(QByteArrayView body);
std::optional<QueryFrame> parseQuery(QByteArrayView body);
std::optional<WelcomeFrame> parseWelcome(QByteArrayView body);
std::optional<RejectFrame> parseReject(QByteArrayView body);
std::optional<InfoFrame> parseInfo(QByteArrayView body);
std::optional<ChallengeFrame> parseChallenge(QByteArrayView body);
std::optional<ProofFrame> parseProof(QByteArrayView body);
std::optional<SendFrame> parseSend(QByteArrayView body);
std::optional<DeliverFrame> parseDeliver(QByteArrayView body);
std::optional<AckFrame> parseAck(QByteArrayView body);
std::optional<JoinedFrame> parseJoined(QByteArrayView body);
std::optional<LeftFrame> parseLeft(QByteArrayView body);
std::optional<ReplayRequestFrame> parseReplayRequest(QByteArrayView body);
std::optional<BulkSendFrame> parseBulkSend(QByteArrayView body);
std::optional<BulkDeliverFrame> parseBulkDeliver(QByteArrayView body);
bool parseEmpty(QByteArrayView body);

// For the user of the copy with version copyVersion, refused by (or asking)
// a host with hostVersion: which side must update.
QString versionMismatchText(std::uint16_t hostVersion, std::uint16_t copyVersion);

// The first frame a host accepts on a new connection.
using Handshake = std::variant<std::monostate, HelloFrame, ResumeFrame, QueryFrame>;
// monostate when the frame is not a well-formed handshake.
Handshake parseHandshake(FrameKind kind, QByteArrayView body);

} // namespace vellmar::session
