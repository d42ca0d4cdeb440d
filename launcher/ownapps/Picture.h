#pragma once

#include <QImage>
#include <QString>

namespace Trivet {

// The picture in file (BMP, GIF, ICO, PNG …); null when file is not a regular file or holds no picture
// Qt can read. A device or a folder named as a picture is never read.
QImage readPicture(const QString &file);

} // namespace Trivet
