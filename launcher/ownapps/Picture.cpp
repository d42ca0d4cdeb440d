#include "launcher/ownapps/Picture.h"

#include <QFileInfo>
#include <QImageReader>

namespace Trivet {

QImage readPicture(const QString &file)
{
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        return {};
    }
    QImageReader reader(file);
    reader.setAutoTransform(true);
    return reader.read();
}

} // namespace Trivet
