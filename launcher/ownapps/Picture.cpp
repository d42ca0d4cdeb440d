#include "launcher/ownapps/Picture.h"

#include "common/platform/RegularFile.h"

#include <QBuffer>
#include <QImageReader>

namespace Trivet {

QImage readPicture(const QString &file)
{
    // Read whole before decoding, so the decoder never touches the file: what it reads is what was checked.
    FileRead read = readRegularFile(file, MaxPictureFileSize);
    if (!read.ok()) {
        return {};
    }
    return decodePicture(read.bytes);
}

QImage decodePicture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

} // namespace Trivet
