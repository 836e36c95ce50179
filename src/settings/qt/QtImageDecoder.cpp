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
    const QImage image = reader.read();
    if (image.isNull()) {
        problem = reader.errorString().toStdString();
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
