// The frame format of the wire protocol: a 4-byte little-endian body length followed by the body
// (one JSON document). Writing a frame is here; reading one is MorvendaFrameReader's.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLoggingCategory>
#include <QString>

#include <tl/expected.hpp>

#include <cstdint>

// Shared with MorvendaConnection: the framing belongs to the connection's log.
Q_DECLARE_LOGGING_CATEGORY(lcMorvendaConnection)

namespace MorvendaFramer {

// Size of the length header, in bytes.
inline constexpr qsizetype headerSize = 4;
// Room the reader leaves after every body it delivers, so the JSON parser reads the body where it
// is instead of copying it into a padded buffer of its own (simdjson's SIMDJSON_PADDING).
inline constexpr qsizetype receivePadding = 64;
// Largest length the header can carry.
inline constexpr std::uint64_t maxEncodableLength = 0xFFFF'FFFFull;
// Largest body the reader delivers: bodies can be large (recorded downloads), but a peer must not
// make us buffer up to 4 GiB per connection. A longer frame is skipped as it streams.
inline constexpr std::uint64_t maxFrameLength = 256ull * 1024 * 1024;

// The 4 header bytes for a body of `length` bytes, or an error when the format cannot carry it.
tl::expected<QByteArray, QString> header(std::uint64_t length);

// Header and body as one buffer, so a message is written as one unit.
tl::expected<QByteArray, QString> frame(QByteArrayView body);

} // namespace MorvendaFramer
