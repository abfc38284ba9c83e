#include "MorvendaFramer.h"

Q_LOGGING_CATEGORY(lcMorvendaConnection, "morvenda.MorvendaConnection")

namespace MorvendaFramer {

tl::expected<QByteArray, QString> header(std::uint64_t length)
{
    if (length > maxEncodableLength) {
        return tl::unexpected(QStringLiteral("Message of %1 bytes is longer than a frame can carry (%2 bytes)")
                                  .arg(length)
                                  .arg(maxEncodableLength));
    }
    QByteArray bytes(headerSize, Qt::Uninitialized);
    for (int i = 0; i < headerSize; ++i) {
        bytes[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    }
    return bytes;
}

tl::expected<QByteArray, QString> frame(QByteArrayView body)
{
    auto head = header(static_cast<std::uint64_t>(body.size()));
    if (!head) {
        return tl::unexpected(head.error());
    }
    QByteArray bytes;
    bytes.reserve(headerSize + body.size());
    bytes.append(*head);
    bytes.append(body);
    return bytes;
}

} // namespace MorvendaFramer
