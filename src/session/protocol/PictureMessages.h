#pragma once

#include "Messages.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

// Messages that move a picture between copies by the SHA-256 of its bytes.
// Every field is checked here, so the exchange only ever sees values that
// are in range; see docs/protocol.md, "Pictures by content".
namespace vellmar::session {

enum PictureMessageType : std::int32_t {
    MSG_PICTURE_HOLDS = 1001,     // hash;size
    MSG_PICTURE_WHO_HOLDS = 1002, // hash
    MSG_PICTURE_REQUEST = 1003,   // hash;offset;length
    MSG_PICTURE_CHUNK = 1004,     // bytes: hash, offset, data
    MSG_PICTURE_NOT_HELD = 1005,  // hash
    // 1006 to 1009 are kept for later picture messages.
};

// The most bytes one chunk carries: with its hash, offset and the message's
// type and count it stays inside the largest payload the transport carries.
constexpr qint64 kPictureChunkBytes = 64000;
// A chunk's payload before its data: the raw hash and the offset.
constexpr qint64 kPictureChunkHeaderBytes = 32 + 8;
// Larger pictures are refused by every reader, whatever a copy's own limit.
constexpr qint64 kPictureWireLimit = qint64(1) << 40;

// Hashes travel as 64 lowercase hexadecimal digits; in memory they are the
// 32 raw bytes.
QString hashToHex(const QByteArray &sha256);

struct PictureHolds // 1001
{
    QByteArray sha256;
    qint64 size = 0;
    bool operator==(const PictureHolds &) const = default;
};

struct PictureWhoHolds // 1002
{
    QByteArray sha256;
    bool operator==(const PictureWhoHolds &) const = default;
};

struct PictureRequest // 1003
{
    QByteArray sha256;
    qint64 offset = 0;
    qint64 length = 0;
    bool operator==(const PictureRequest &) const = default;
};

struct PictureChunk // 1004
{
    QByteArray sha256;
    qint64 offset = 0;
    QByteArray data;
    bool operator==(const PictureChunk &) const = default;
};

struct PictureNotHeld // 1005
{
    QByteArray sha256;
    bool operator==(const PictureNotHeld &) const = default;
};

QString formatPayload(const PictureHolds &p);
QString formatPayload(const PictureWhoHolds &p);
QString formatPayload(const PictureRequest &p);
// A chunk is bytes, not text (see encodeBytesMessage): the 32 bytes of the
// hash, the offset as 8 bytes big-endian, then the data.
QByteArray formatPayload(const PictureChunk &p);
QString formatPayload(const PictureNotHeld &p);

Parsed<PictureHolds> parsePictureHolds(const QString &payload);
Parsed<PictureWhoHolds> parsePictureWhoHolds(const QString &payload);
Parsed<PictureRequest> parsePictureRequest(const QString &payload);
Parsed<PictureChunk> parsePictureChunk(QByteArrayView payload);
Parsed<PictureNotHeld> parsePictureNotHeld(const QString &payload);

} // namespace vellmar::session
