#include "settings/qt/QtImageDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

namespace velorin {

namespace {

QString nativePath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The JPEG decoder paints whatever a cut-off file lacks in grey and still reports success. Inside
// compressed data every 0xFF is escaped, so only a whole file has an end-of-image marker after its
// last start-of-scan marker (an embedded thumbnail, with markers of its own, comes before the image).
bool jpegComplete(const QByteArray& bytes)
{
    const qsizetype scan = bytes.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    return scan >= 0 && bytes.indexOf(QByteArrayView("\xFF\xD9", 2), scan + 2) >= 0;
}

// The GIF decoder leaves what a cut-off file lacks black. Whole, the first image's data blocks end
// in an empty block: the blocks are walked to it, past the colour tables and any extensions.
bool gifComplete(const QByteArray& bytes)
{
    const auto byte = [&bytes](qsizetype at) { return static_cast<unsigned char>(bytes.at(at)); };
    const auto table = [](unsigned char flags) { return (flags & 0x80) != 0 ? 3 * (2 << (flags & 7)) : 0; };
    // Past a chain of data blocks, or -1 when the file ends inside it.
    const auto skipBlocks = [&](qsizetype at) -> qsizetype {
        while (at < bytes.size()) {
            const unsigned char size = byte(at++);
            if (size == 0)
                return at;
            at += size;
        }
        return -1;
    };
    qsizetype at = 13;
    if (bytes.size() < at)
        return false;
    at += table(byte(10));
    while (at >= 0 && at < bytes.size()) {
        if (byte(at) == 0x21) { // an extension: its label, then its blocks
            at = skipBlocks(at + 2);
        } else if (byte(at) == 0x2C && at + 11 <= bytes.size()) { // an image: descriptor, table, code size
            at += 10 + table(byte(at + 9)) + 1;
            return skipBlocks(at) >= 0;
        } else {
            return false;
        }
    }
    return false;
}

// The BMP decoder leaves the rows of a cut-off file blank. Its header declares the file's size.
bool bmpComplete(const QByteArray& bytes)
{
    return bytes.size() >= 6 && qFromLittleEndian<quint32>(bytes.constData() + 2) <= quint64(bytes.size());
}

// Whether the file holds the whole of its image, for the formats whose decoders accept less.
bool complete(const QByteArray& format, const QString& path)
{
    bool (*check)(const QByteArray&) = format == "jpeg" ? jpegComplete
                                       : format == "gif" ? gifComplete
                                       : format == "bmp" ? bmpComplete
                                                         : nullptr;
    if (!check)
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && check(file.readAll());
}

} // namespace

ImageHeader QtImageDecoder::header(const std::string& path)
{
    QImageReader reader(nativePath(path));
    // A file named .png that holds a JPEG is still a picture; the name proves nothing.
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return {false, 0, 0, reader.errorString().toStdString()};
    const QSize size = reader.size();
    return {true, size.width(), size.height(), {}};
}

bool QtImageDecoder::toPng(const std::string& path, int maxSide, std::string& png, std::string& problem)
{
    QImageReader reader(nativePath(path));
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxSide || size.height() > maxSide) {
        problem = "the image is larger than allowed or declares no size";
        return false;
    }
    // Eight bytes a pixel covers the deepest formats at the largest size allowed.
    reader.setAllocationLimit(static_cast<int>((qint64{maxSide} * maxSide * 8) >> 20) + 1);
    // Known only until the read, which lets go of the handler.
    const QByteArray format = reader.format();
    const QImage image = reader.read();
    if (image.isNull()) {
        problem = reader.errorString().toStdString();
        return false;
    }
    // A header may lie: an icon declares at most 256 pixels a side whatever the picture it holds.
    if (image.width() > maxSide || image.height() > maxSide) {
        problem = "the image is larger than its header declares";
        return false;
    }
    if (!complete(format, reader.fileName())) {
        problem = "the file ends before its image does";
        return false;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") || bytes.isEmpty()) {
        problem = "the image could not be converted to PNG";
        return false;
    }
    png = bytes.toStdString();
    return true;
}

} // namespace velorin
