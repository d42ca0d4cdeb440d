#include "launcher/updates/SettingsPackage.h"

#include "common/platform/AppFolder.h"
#include "common/platform/PackagePlacer.h"
#include "common/platform/RegularFile.h"
#include "common/platform/WorkFolder.h"
#include "common/settings/IniDocument.h"
#include "common/trust/SignedProgramList.h"
#include "launcher/catalogue/Catalogue.h"

#include <QDir>
#include <QLoggingCategory>
#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

Q_LOGGING_CATEGORY(lcSettingsPackage, "trivet.updates")

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String());
}

// Why fresh cannot replace the current settings; empty when it can.
QString refusal(const QByteArray &bytes, const IniDocument &fresh, const IniDocument &current)
{
    if (bytes.contains('\0')) {
        return u"holds NUL bytes: it is no settings file in a code page (UTF-16, or binary data)."_s;
    }
    const auto address = [](const IniDocument &settings, QStringView key) {
        return settings.value(Catalogue::ApplicationsSection, key).value_or(QString());
    };
    if (address(fresh, u"URLIni").isEmpty()) {
        return u"names no URLIni, so no list could be fetched after it."_s;
    }
    for (const CatalogueEntry &entry : Catalogue::entries()) {
        if (!address(current, entry.urlKey).isEmpty() && address(fresh, entry.urlKey).isEmpty()) {
            return u"has no address for "_s + entry.urlKey + u", which the settings have."_s;
        }
    }
    return {};
}

// The rename would give the settings the mode the package's file was unpacked with, often private to the user.
void keepMode(const QString &iniPath, const QString &fresh)
{
    std::error_code error;
    const std::filesystem::perms mode = std::filesystem::status(nativePath(iniPath), error).permissions();
    if (error || std::filesystem::status(nativePath(fresh), error).permissions() == mode) {
        return;
    }
    std::filesystem::permissions(nativePath(fresh), mode, error);
    if (error) {
        qCWarning(lcSettingsPackage) << "cannot give the new settings the mode of the old ones:"
                                     << QString::fromStdString(error.message());
    }
}

} // namespace

SettingsPackage::SettingsPackage(QString appRoot)
    : m_appRoot(std::move(appRoot))
{
}

SettingsPackage::~SettingsPackage()
{
    m_folder.reset();
    // Only when empty: an install may be staging in it.
    QDir().rmdir(workFolder(m_appRoot));
}

ExtractResult SettingsPackage::unpack(const QString &archive, const std::atomic_bool *cancelled)
{
    const QString work = workFolder(m_appRoot);
    if (!QDir().mkpath(work)) {
        return ExtractResult::failure(ExtractStatus::WriteFailed,
                                      u"Cannot create the folder "_s + QDir::toNativeSeparators(work));
    }
    m_folder = std::make_unique<QTemporaryDir>(work + u"/settings-XXXXXX"_s);
    if (!m_folder->isValid()) {
        return ExtractResult::failure(ExtractStatus::WriteFailed, m_folder->errorString());
    }
    return PackagePlacer(m_appRoot, cancelled).unpackAndPlace(archive, m_folder->path(), {{}, false, false});
}

QString SettingsPackage::listSerial() const
{
    const QString fresh = m_folder ? resolveCaseInsensitive(m_folder->filePath(u"Trivet.ini"_s)) : QString();
    const FileRead read = readRegularFile(fresh, MaxListSize);
    if (!read.ok()) {
        return {};
    }
    return IniDocument::fromBytes(read.bytes, legacyEncodingFor(fresh))
        .value(SignedProgramList::ListSection, SignedProgramList::SerialKey)
        .value_or(QString());
}

ExtractResult SettingsPackage::install()
{
    const QString fresh = m_folder ? resolveCaseInsensitive(m_folder->filePath(u"Trivet.ini"_s)) : QString();
    const FileRead read = readRegularFile(fresh, MaxListSize);
    if (!read.ok()) {
        const bool absent = read.status == FileRead::Status::NotFound || read.status == FileRead::Status::NotRegular;
        return ExtractResult::failure(read.status == FileRead::Status::Failed ? ExtractStatus::NotRun
                                                                              : ExtractStatus::Damaged,
                                      absent ? u"The settings package holds no Trivet.ini."_s : read.message);
    }
    const QString iniPath = AppFolder(m_appRoot).iniPath();
    // Settings that are there but cannot be read would pass for settings without the user's entries.
    bool unreadable = false;
    const QByteArray currentBytes = readIniBytes(iniPath, IniDocument::NoLimit, &unreadable);
    if (unreadable) {
        return ExtractResult::failure(ExtractStatus::NotRun, u"Cannot read "_s + QDir::toNativeSeparators(iniPath) +
                                                                 u"; it stays as it is."_s);
    }
    const IniDocument current = IniDocument::fromBytes(currentBytes, legacyEncodingFor(iniPath));
    IniDocument merged = IniDocument::fromBytes(read.bytes, legacyEncodingFor(fresh));
    if (const QString why = refusal(read.bytes, merged, current); !why.isEmpty()) {
        return ExtractResult::failure(ExtractStatus::Damaged, u"The package's Trivet.ini "_s + why);
    }
    for (const QStringView section : KeptSections) {
        merged.takeEntries(current, section);
    }
    for (const KeptValue &kept : KeptValues) {
        merged.takeEntries(current, kept.section, kept.key);
    }
    if (const SaveResult saved = merged.save(fresh); !saved.ok()) {
        return ExtractResult::failure(ExtractStatus::WriteFailed, saved.message);
    }
    keepMode(iniPath, fresh);
    // The work folder lies on the settings file's volume, so this is one atomic rename.
    std::error_code error;
    std::filesystem::rename(nativePath(fresh), nativePath(iniPath), error);
    if (error) {
        return ExtractResult::failure(ExtractStatus::WriteFailed, u"Cannot replace "_s +
                                                                      QDir::toNativeSeparators(iniPath) + u": "_s +
                                                                      QString::fromStdString(error.message()));
    }
    qCInfo(lcSettingsPackage) << "settings replaced from the package, the user's entries kept";
    return ExtractResult::success(1);
}

} // namespace Trivet
