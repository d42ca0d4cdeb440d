#include "common/trust/SignedProgramList.h"

#include "common/platform/ZipMember.h"
#include "common/settings/IniDocument.h"
#include "common/settings/TextCodec.h"
#include "common/trust/PackageSignature.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace Trivet {

SignedProgramList SignedProgramList::load(const QString &appFolder)
{
    const QDir folder(appFolder);
    const QString listPath = folder.filePath(ListPackage.toString());
    return load(listPath, listPath + PackageSignature::Suffix, loadTrustedKeys(appFolder));
}

SignedProgramList SignedProgramList::load(const QString &listPath, const QString &signaturePath,
                                          const TrustedKeys &keys)
{
    SignedProgramList list;
    list.m_verification = verifyPackageFile(listPath, signaturePath, ListPackage.toString(), keys);
    if (!list.m_verification.ok()) {
        return list;
    }
    const FileRead settings = readZipMember(listPath, ListMember, MaxListSize);
    if (!settings.ok()) {
        list.m_verification = Verification::failure(VerificationStatus::PackageUnreadable, settings.message);
        return list;
    }
    // Looked up as the settings file is, so a checksum means here what it means to the installer.
    list.m_list = IniDocument::fromBytes(settings.bytes, legacyEncodingFor(listPath));
    return list;
}

bool SignedProgramList::covers(QStringView packageName, QStringView sha256) const
{
    if (!isVerified() || sha256.trimmed().isEmpty()) {
        return false;
    }
    const std::optional<QString> signedSha256 = m_list.value(ChecksumsSection, packageName);
    return signedSha256 && signedSha256->trimmed().compare(sha256.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace Trivet
