#include "tools/demo/MirrorBuilder.h"

#include "common/platform/ExtractorCommand.h"
#include "common/platform/RelativePath.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/SignedProgramList.h"
#include "launcher/catalogue/Catalogue.h"
#include "tools/archive/ArchiveWriter.h"
#include "tools/listing/PackageListing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QUrl>
#include <optional>

using namespace Qt::StringLiterals;

namespace Trivet::Demo {
namespace {

using Tools::ArchiveFormat;
using Tools::ArchiveMember;
using Tools::ArchiveWriter;

// One file of the mirror: a plain file (a program fetched as itself, the version file) or an archive.
struct MirrorFile
{
    QString relativePath;
    std::optional<ArchiveWriter> archive;
    QByteArray plainContent;
    bool executable = false;
};

// "\Metapad\Metapad.exe" → "Metapad/Metapad.exe"
QString slashPath(QStringView tail)
{
    QString path = tail.toString();
    path.replace(u'\\', u'/');
    while (path.startsWith(u'/')) {
        path.remove(0, 1);
    }
    return path;
}

// Values of the settings file become paths inside the mirror and inside archives: nothing may climb out.
std::optional<QString> safeRelative(QStringView path)
{
    const std::optional<RelativePath> relative = RelativePath::parse(path, RelativePath::Option::NamesFile);
    return relative ? std::optional<QString>(relative->toString()) : std::nullopt;
}

class MirrorPlan final
{
public:
    MirrorPlan(const QString &settingsFile, const QByteArray &standIn)
        : m_settings(settingsFile)
        , m_standIn(standIn)
    {
    }

    // Parsed once for all the entries' reads.
    const IniFile &settings() const { return m_settings; }
    const QByteArray &standIn() const { return m_standIn; }
    QList<MirrorFile> &files() { return m_files; }
    QString error() const { return m_error; }
    bool failed() const { return !m_error.isEmpty(); }

    QString read(const QString &section, const QString &key) const { return m_settings.value(section, key); }

    // The launcher looks up a package's SHA-256 under the package's file name.
    void addPackage(const QString &packageName, const QString &relativePath)
    {
        if (!relativePath.isEmpty()) {
            m_packages.insert(packageName, relativePath);
        }
    }
    const QMap<QString, QString> &packages() const { return m_packages; }

    void fail(const QString &message)
    {
        if (m_error.isEmpty()) {
            m_error = message;
        }
    }

    // Where the launcher will ask for a file: the path of its address in the settings file below the mirror
    // folder; fallback when the settings file has no address for it.
    QString mirrorPath(const QString &section, const QString &urlKey, const QString &fallback)
    {
        const QString address = read(section, urlKey);
        if (address.isEmpty()) {
            return fallback;
        }
        const QUrl url(address, QUrl::StrictMode);
        const std::optional<QString> path = url.isValid() ? safeRelative(slashPath(url.path())) : std::nullopt;
        if (!path) {
            fail(urlKey + u": cannot serve the address "_s + address);
            return {};
        }
        return *path;
    }

    // The archive at relativePath, shared by every entry that fetches the same package (erunt.zip).
    ArchiveWriter *archive(const QString &relativePath, ArchiveFormat format)
    {
        MirrorFile *file = fileAt(relativePath);
        if (!file) {
            return nullptr;
        }
        if (!file->plainContent.isNull() || (file->archive && file->archive->format() != format)) {
            fail(relativePath + u" is wanted as two different kinds of package"_s);
            return nullptr;
        }
        if (!file->archive) {
            file->archive.emplace(format, ArchiveWriter::Layout::Tree);
        }
        return &*file->archive;
    }

    void plain(const QString &relativePath, const QByteArray &content, bool executable)
    {
        MirrorFile *file = fileAt(relativePath);
        if (!file) {
            return;
        }
        if (file->archive || (!file->plainContent.isNull() && file->plainContent != content)) {
            fail(relativePath + u" is wanted with two different contents"_s);
            return;
        }
        file->plainContent = content;
        file->executable = executable;
    }

    void addProgram(ArchiveWriter *archive, const QString &path, const QString &owner)
    {
        const std::optional<QString> member = safeRelative(path);
        if (!member) {
            fail(owner + u": refusing the archive member "_s + path);
            return;
        }
        archive->add(ArchiveMember::file(*member, m_standIn, 0755));
    }

private:
    MirrorFile *fileAt(const QString &relativePath)
    {
        if (relativePath.isEmpty()) {
            return nullptr; // the address was refused; the failure is recorded
        }
        // Two spellings of one name would be one file on the case-insensitive drives the launcher runs from.
        for (MirrorFile &f : m_files) {
            if (f.relativePath.compare(relativePath, Qt::CaseInsensitive) == 0) {
                return &f;
            }
        }
        m_files.append(MirrorFile{relativePath, std::nullopt, QByteArray(), false});
        return &m_files.last();
    }

    IniFile m_settings;
    QByteArray m_standIn;
    QList<MirrorFile> m_files;
    QMap<QString, QString> m_packages; // package name → path below the mirror
    QString m_error;
};

// Written below mirror with the permissions a web server's files have; programs fetched as themselves can run.
FileResult writeMirrorFile(const QDir &mirror, const MirrorFile &file)
{
    const QString target = mirror.filePath(file.relativePath);
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        return FileResult::failure(FileResult::Status::Failed, u"cannot create the folder of "_s + target);
    }
    if (file.archive) {
        if (const FileResult written = file.archive->write(target); !written.ok()) {
            return written;
        }
    } else {
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly) || out.write(file.plainContent) != file.plainContent.size() ||
            !out.commit()) {
            return FileResult::failure(FileResult::Status::Failed, target + u": "_s + out.errorString());
        }
    }
    auto permissions =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (file.executable) {
        permissions |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    }
    if (!QFile::setPermissions(target, permissions)) {
        return FileResult::failure(FileResult::Status::Failed, target + u": cannot set the permissions"_s);
    }
    return FileResult::success();
}

void addCatalogueEntry(MirrorPlan &plan, const CatalogueEntry &e)
{
    const QString id = e.id.toString();
    const EntryTails tails = Catalogue::resolveTails(e, plan.settings(), Phase::Install);
    if (!tails.configured) {
        const QString keys = e.installDirKey.isEmpty()
                                 ? e.installExeKey.toString()
                                 : e.installDirKey.toString() + u" and "_s + e.installExeKey.toString();
        plan.fail(id + u": the settings file has no usable "_s + keys);
        return;
    }
    const QString packageName = QFileInfo(slashPath(tails.package)).fileName();
    const QString where =
        plan.mirrorPath(Catalogue::ApplicationsSection.toString(), e.urlKey.toString(), u"packages/"_s + packageName);
    plan.addPackage(packageName, where);

    if (e.kind == InstallKind::Direct || e.kind == InstallKind::SelfExtracting) {
        plan.plain(where, plan.standIn(), true);
        return;
    }

    QString error;
    const std::optional<ExtractorCommand> command = ExtractorCommand::parse(e.command, &error);
    if (!command) {
        plan.fail(id + u": "_s + error);
        return;
    }
    const auto format =
        command->tool == ExtractorCommand::Tool::SevenZip ? ArchiveFormat::SevenZip : ArchiveFormat::Zip;
    ArchiveWriter *archive = plan.archive(where, format);
    if (!archive) {
        return;
    }

    // Members are laid out so that unpacking into the command's target folder puts the program at its tail.
    const QString prefix = command->targetFolder.isEmpty() ? QString() : command->targetFolder + u'/';
    const QStringList programs{slashPath(tails.executable), slashPath(tails.startPath)};
    for (const QString &program : programs) {
        if (!program.startsWith(prefix, Qt::CaseInsensitive)) {
            plan.fail(id + u": "_s + program + u" is not below the extraction folder "_s + command->targetFolder);
            return;
        }
        plan.addProgram(archive, program.mid(prefix.size()), id);
    }

    if (e.kind == InstallKind::AntiVir) {
        // Unpacked loose into the AntiVir folder; the installation moves them into Basic.
        for (const QStringView name : Catalogue::antiVirFiles()) {
            archive->add(ArchiveMember::file(name.toString(), "AntiVir demo file " + name.toUtf8() + '\n'));
        }
    }
}

void addDefinitionBundle(MirrorPlan &plan)
{
    const QString bundleName = QFileInfo(slashPath(Catalogue::AntiVirDefinitionBundle)).fileName();
    ArchiveWriter *bundle =
        plan.archive(plan.mirrorPath(Catalogue::ApplicationsSection.toString(), Catalogue::DefinitionUrlKey.toString(),
                                     u"antivir/"_s + bundleName),
                     ArchiveFormat::Zip);
    if (bundle) {
        bundle->add(ArchiveMember::file(u"vdf/demo.vdf"_s, "Quillory Vidi demo virus definitions\n"));
        bundle->add(ArchiveMember::file(u"vdf/version.txt"_s, "1\n"));
    }
}

void addOpenOffice(MirrorPlan &plan)
{
    const QString section = u"OpenOffice.orgPortable"_s;
    const QString folder = slashPath(plan.read(section, u"OOP-Dir"_s));
    const QString where = plan.mirrorPath(section, u"URL-OOP"_s, u"packages/OpenOfficePortable.zip"_s);
    plan.addPackage(u"OpenOfficePortable.zip"_s, where);
    ArchiveWriter *suite = plan.archive(where, ArchiveFormat::Zip);
    if (!suite) {
        return;
    }
    // Unpacked without a target folder: the archive's own top folder must be the suite's folder.
    for (int n = 1; n <= 7; ++n) {
        const QString key = u"OOP-App"_s + QString::number(n);
        const QString program = slashPath(plan.read(section, key));
        if (folder.isEmpty() || program.isEmpty()) {
            plan.fail(key + u" or OOP-Dir is missing from the settings file"_s);
            return;
        }
        plan.addProgram(suite, folder + u'/' + program, key);
    }
}

// The update package: a rebuilt launcher and the ver.dat that says which version it is, unpacked by the
// Updater over the application folder.
void addUpdatePackage(MirrorPlan &plan, const QByteArray &launcher, const QString &version)
{
    const QString packageName = u"TrivetUpdate.zip"_s;
    const QString where = plan.mirrorPath(u"VersionCheck"_s, u"updaterURL"_s, u"TrivetUpdate/"_s + packageName);
    plan.addPackage(packageName, where);
    if (ArchiveWriter *update = plan.archive(where, ArchiveFormat::Zip)) {
        update->add(ArchiveMember::file(Product::programFile(Product::LauncherName), launcher, 0755));
        update->add(ArchiveMember::file(u"ver.dat"_s, version.toUtf8() + "\r\n"));
    }
}

// The signature of the package at relativePath below mirror, written beside it.
FileResult signMirrorFile(const QDir &mirror, const QString &relativePath, const QString &sequence,
                          const QByteArray &privateKey)
{
    const QString package = mirror.filePath(relativePath);
    QString reason;
    const std::optional<PackageSignature> signature = signPackage(package, sequence, privateKey, &reason);
    if (!signature) {
        return FileResult::failure(FileResult::Status::Failed, package + u": "_s + reason);
    }
    MirrorFile file{relativePath + PackageSignature::Suffix, std::nullopt, signature->toText(), false};
    return writeMirrorFile(mirror, file);
}

} // namespace

MirrorBuilder::MirrorBuilder(const QString &standInPath, const QString &settingsFile, const QString &mirrorFolder)
    : m_standInPath(standInPath)
    , m_settingsFile(settingsFile)
    , m_mirrorFolder(mirrorFolder)
{
}

MirrorResult MirrorBuilder::build() const
{
    QFile standInFile(m_standInPath);
    if (!standInFile.open(QIODevice::ReadOnly)) {
        return {false, m_standInPath + u": "_s + standInFile.errorString(), {}};
    }
    const QByteArray standIn = standInFile.readAll();
    QFile settingsFile(m_settingsFile);
    if (!settingsFile.open(QIODevice::ReadOnly)) {
        return {false, m_settingsFile + u": "_s + settingsFile.errorString(), {}};
    }
    settingsFile.close();

    MirrorPlan plan(m_settingsFile, standIn);
    for (const CatalogueEntry &e : Catalogue::entries()) {
        addCatalogueEntry(plan, e);
    }
    addDefinitionBundle(plan);
    addOpenOffice(plan);
    if (!m_launcherPath.isEmpty()) {
        QFile launcher(m_launcherPath);
        if (!launcher.open(QIODevice::ReadOnly)) {
            return {false, m_launcherPath + u": "_s + launcher.errorString(), {}};
        }
        addUpdatePackage(plan, launcher.readAll(), m_offeredVersion);
    }
    plan.plain(plan.mirrorPath(u"VersionCheck"_s, u"updateURL"_s, u"version/update.dat"_s),
               m_offeredVersion.toUtf8() + "\r\n", false);
    if (plan.failed()) {
        return {false, plan.error(), {}};
    }

    MirrorResult result{true, {}, {}};
    const QDir mirror(m_mirrorFolder);
    const auto write = [&](qsizetype from) {
        for (qsizetype i = from; i < plan.files().size(); ++i) {
            if (const FileResult written = writeMirrorFile(mirror, plan.files().at(i)); !written.ok()) {
                return written;
            }
            result.written.append(plan.files().at(i).relativePath);
        }
        return FileResult::success();
    };
    if (const FileResult written = write(0); !written.ok()) {
        return {false, written.message, result.written};
    }

    // Checksums and sizes of the packages as written, so a package that is not the one built here is refused.
    QMap<QString, QString> packages;
    for (auto it = plan.packages().cbegin(); it != plan.packages().cend(); ++it) {
        packages.insert(it.key(), mirror.filePath(it.value()));
    }
    IniFile settings(m_settingsFile);
    if (const SaveResult saved = Tools::writePackageSections(settings, packages); !saved.ok()) {
        return {false, saved.message, result.written};
    }
    if (!m_privateKey.isEmpty()) {
        // The serial the list is signed with, inside the list too.
        if (const SaveResult saved = settings.setValue(SignedProgramList::ListSection.toString(),
                                                       SignedProgramList::SerialKey.toString(), m_serial);
            !saved.ok()) {
            return {false, saved.message, result.written};
        }
    }
    // The stand-ins are native programs under the catalogue's Windows names: no icon should warn that its
    // program needs Wine.
    if (const SaveResult saved =
            settings.setValue(Catalogue::PlatformSection.toString(), Catalogue::NativePackagesKey.toString(), u"1"_s);
        !saved.ok()) {
        return {false, saved.message, result.written};
    }

    // The settings package carries the finished settings file, so fetching fresh settings from the mirror
    // keeps pointing at the mirror and keeps the checksums.
    QFile finished(m_settingsFile);
    if (!finished.open(QIODevice::ReadOnly)) {
        return {false, m_settingsFile + u": "_s + finished.errorString(), result.written};
    }
    const qsizetype settingsPackage = plan.files().size();
    if (ArchiveWriter *fresh = plan.archive(
            plan.mirrorPath(Catalogue::ApplicationsSection.toString(), u"URLIni"_s, u"settings/Trivet.zip"_s),
            ArchiveFormat::Zip)) {
        fresh->add(ArchiveMember::file(u"Trivet.ini"_s, finished.readAll()));
    }
    if (plan.failed()) {
        return {false, plan.error(), result.written};
    }
    if (const FileResult written = write(settingsPackage); !written.ok()) {
        return {false, written.message, result.written};
    }
    if (!m_privateKey.isEmpty()) {
        QList<std::pair<QString, QString>> signedPackages{{plan.files().at(settingsPackage).relativePath, m_serial}};
        if (const auto update = plan.packages().constFind(u"TrivetUpdate.zip"_s); update != plan.packages().cend()) {
            signedPackages.append({update.value(), m_offeredVersion});
        }
        for (const auto &[relativePath, sequence] : signedPackages) {
            if (const FileResult signedFile = signMirrorFile(mirror, relativePath, sequence, m_privateKey);
                !signedFile.ok()) {
                return {false, signedFile.message, result.written};
            }
            result.written.append(relativePath + PackageSignature::Suffix);
        }
    }
    return result;
}

} // namespace Trivet::Demo
