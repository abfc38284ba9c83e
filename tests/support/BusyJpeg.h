// A picture built to keep a JPEG decoder busy, for the picture tests and benchmarks: a valid
// progressive greyscale JPEG of 7000 × 7000 pixels (49 MB decoded, within the loader's budget;
// about 190 kB), as an ordinary encoder writes it in six scans, padded before its end with extra
// scans that each cost the decoder a pass over all 765,625 blocks.
#pragma once

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

// `extraScans` refinements of the DC bit, each `scanBytes` long (10 at least: the bare header).
inline QByteArray busyProgressiveJpeg(int extraScans, int scanBytes = 10)
{
    static const QByteArray base = [] {
        QImage image(QSize(7000, 7000), QImage::Format_Grayscale8);
        image.fill(128);
        QByteArray written;
        QBuffer buffer(&written);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "JPEG");
        writer.setProgressiveScanWrite(true);
        writer.setOptimizedWrite(true);
        writer.write(image);
        return written;
    }();
    const QByteArray scan = QByteArray("\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x10", 10) + QByteArray(scanBytes - 10, '\0');
    QByteArray bytes = base;
    return bytes.insert(bytes.size() - 2, scan.repeated(extraScans));
}
