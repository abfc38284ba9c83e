// Turns the bytes of a profile picture into a square image, refusing files whose decoding would
// cost more than a picture is worth: formats other than PNG, JPEG, GIF and WebP, canvases over a
// memory budget, JPEGs of more scans than encoders write, and decodes that outlive their time.
// Stateless; any thread (the loader runs it on its own workers).
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QImage>

#include <atomic>

class AvatarDecoder
{
public:
    struct Limits
    {
        // A progressive JPEG is decoded in scans, each one a pass over every block of the image,
        // so a small file of thousands of tiny scans costs minutes. Encoders write 6 to 10 scans
        // (a few more when they optimise the split); a file with more than this is refused.
        int maxJpegScans = 64;
        // Once this passes, or `cancelled` is set, the decoder's reads fail, it winds down at the
        // next read and the decode gives no image.
        QDeadlineTimer deadline{QDeadlineTimer::Forever};
        const std::atomic<bool> *cancelled = nullptr;
    };

    // A `pixelSize` square filled by the image (aspect kept, centre kept), or a null image when
    // the bytes are refused, unreadable, or the decode was stopped.
    static QImage decode(const QByteArray &bytes, int pixelSize, const Limits &limits);
    // The same with the default limits: no deadline.
    static QImage decode(const QByteArray &bytes, int pixelSize);

    // Width × height × bytes per pixel that decode() accepts at most, whatever the size asked for.
    static constexpr qint64 kMaxDeclaredBytes = 48 * 1024 * 1024;
};
