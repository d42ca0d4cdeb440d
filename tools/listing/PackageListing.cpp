#include "tools/listing/PackageListing.h"

#include "common/settings/IniFile.h"
#include "common/trust/FileDigest.h"
#include "launcher/catalogue/Catalogue.h"

#include <QFileInfo>
#include <QStringList>
#include <optional>

using namespace Qt::StringLiterals;

namespace Trivet::Tools {

SaveResult writePackageSections(IniFile &settings, const QMap<QString, QString> &packages)
{
    QStringList checksums;
    QStringList sizes;
    for (auto it = packages.cbegin(); it != packages.cend(); ++it) {
        const std::optional<QByteArray> sum = sha256OfFile(it.value());
        if (!sum) {
            return SaveResult::failure(SaveStatus::OpenFailed, u"cannot read "_s + it.value());
        }
        checksums.append(it.key() + u'=' + QString::fromLatin1(sum->toHex()));
        sizes.append(it.key() + u'=' + QString::number(QFileInfo(it.value()).size()));
    }
    for (const auto &[section, lines] :
         {std::pair{Catalogue::ChecksumsSection, &checksums}, std::pair{Catalogue::SizesSection, &sizes}}) {
        if (const SaveResult saved = settings.replaceSection(section.toString(), *lines); !saved.ok()) {
            return saved;
        }
    }
    return SaveResult::success();
}

} // namespace Trivet::Tools
