#include "settings/qt/QtImageDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

namespace velorin {

namespace {

QString nativePath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The JPEG decoder paints whatever a cut-off file lacks in grey and still reports success. Inside
// compressed data every 0xFF is escaped, so only a whole file has an end-of-image marker after its
// last start-of-scan marker (an embedded thumbnail, with markers of its own, comes before the image).
bool jpegComplete(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    const qsizetype scan = bytes.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    return scan >= 0 && bytes.indexOf(QByteArrayView("\xFF\xD9", 2), scan + 2) >= 0;
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
    if (format == "jpeg" && !jpegComplete(reader.fileName())) {
        problem = "the JPEG file ends before its image does";
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
