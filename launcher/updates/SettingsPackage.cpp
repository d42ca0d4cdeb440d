#include "launcher/updates/SettingsPackage.h"

#include "common/platform/AppFolder.h"
#include "common/platform/WorkFolder.h"
#include "common/settings/IniDocument.h"

#include <QDir>
#include <QFileInfo>
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
    return ArchiveExtractor(cancelled, work).extract(archive, m_folder->path());
}

FileResult SettingsPackage::install()
{
    const QString fresh = m_folder ? resolveCaseInsensitive(m_folder->filePath(u"Trivet.ini"_s)) : QString();
    if (fresh.isEmpty() || !QFileInfo(fresh).isFile()) {
        return FileResult::failure(FileResult::Status::NotFound, u"The settings package holds no Trivet.ini."_s);
    }
    const QString iniPath = AppFolder(m_appRoot).iniPath();
    // Settings that are there but cannot be read would pass for settings without the user's entries.
    bool unreadable = false;
    const QByteArray currentBytes = readIniBytes(iniPath, IniDocument::NoLimit, &unreadable);
    if (unreadable) {
        return FileResult::failure(FileResult::Status::Failed,
                                   u"Cannot read "_s + QDir::toNativeSeparators(iniPath) + u"; it stays as it is."_s);
    }
    const IniDocument current = IniDocument::fromBytes(currentBytes, legacyEncodingFor(iniPath));
    IniDocument merged = IniDocument::fromFile(fresh);
    for (const QStringView section : KeptSections) {
        if (current.hasSection(section)) {
            merged.replaceSection(section.toString(), current.sectionEntries(section));
        }
    }
    for (const KeptValue &kept : KeptValues) {
        if (const std::optional<QString> value = current.value(kept.section, kept.key)) {
            merged.setValue(kept.section.toString(), kept.key.toString(), *value);
        }
    }
    if (const SaveResult saved = merged.save(fresh); !saved.ok()) {
        return FileResult::failure(FileResult::Status::Failed, saved.message);
    }
    // The work folder lies on the settings file's volume, so this is one atomic rename.
    std::error_code error;
    std::filesystem::rename(nativePath(fresh), nativePath(iniPath), error);
    if (error) {
        return FileResult::failure(FileResult::Status::Failed, u"Cannot replace "_s +
                                                                   QDir::toNativeSeparators(iniPath) + u": "_s +
                                                                   QString::fromStdString(error.message()));
    }
    qCInfo(lcSettingsPackage) << "settings replaced from the package, the user's entries kept";
    return FileResult::success();
}

} // namespace Trivet
