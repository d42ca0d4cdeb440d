#include "tools/publish/MirrorPublisher.h"

#include "common/platform/RegularFile.h"
#include "common/settings/IniFile.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/PackageVerifier.h"
#include "common/trust/SignedProgramList.h"
#include "launcher/catalogue/Catalogue.h"
#include "tools/archive/ArchiveWriter.h"
#include "tools/listing/PackageListing.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace Trivet::Tools {
namespace {

// A template is a settings file of some kilobytes; anything far larger is not one.
constexpr qint64 MaxTemplateSize = 4 * 1024 * 1024;

// The sections whose values are addresses of published files.
const QStringList AddressSections{Catalogue::ApplicationsSection.toString(), u"OpenOffice.orgPortable"_s,
                                  u"VersionCheck"_s};

constexpr auto WebFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

FileResult failure(const QString &message)
{
    return FileResult::failure(FileStatus::Failed, message);
}

// The package files of folder by name; a folder, a pipe or a name the publisher writes itself fails.
FileResult listPackages(const QString &folder, QMap<QString, QString> *packages)
{
    const QDir dir(folder);
    if (!dir.exists()) {
        return failure(folder + u": no such folder"_s);
    }
    const QStringList reserved{MirrorPublisher::ListPackage.toString(), MirrorPublisher::VersionFile.toString()};
    for (const QFileInfo &entry :
         dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString name = entry.fileName();
        QString reason;
        if (!isRegularFile(entry.filePath())) {
            return failure(entry.filePath() + u" is not a regular file; the packages folder holds packages only"_s);
        }
        if (reserved.contains(name, Qt::CaseInsensitive) ||
            name.endsWith(PackageSignature::Suffix, Qt::CaseInsensitive)) {
            return failure(entry.filePath() + u": the publisher writes this file itself"_s);
        }
        if (!isSignableFileName(name, &reason)) {
            return failure(reason);
        }
        // One file on the case-insensitive drives the launcher runs from.
        for (auto it = packages->cbegin(); it != packages->cend(); ++it) {
            if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
                return failure(name + u" and "_s + it.key() + u" differ only in case"_s);
            }
        }
        packages->insert(name, entry.filePath());
    }
    if (packages->isEmpty()) {
        return failure(folder + u" holds no package"_s);
    }
    return FileResult::success();
}

FileResult writeFile(const QString &path, const QByteArray &bytes)
{
    if (const SaveResult saved = saveAtomically(path, bytes); !saved.ok()) {
        return failure(path + u": "_s + saved.message);
    }
    return FileResult::success();
}

FileResult signInto(const QString &package, const QString &sequence, const QByteArray &privateKey)
{
    QString reason;
    const std::optional<PackageSignature> signature = signPackage(package, sequence, privateKey, &reason);
    if (!signature) {
        return failure(reason);
    }
    return writeFile(package + PackageSignature::Suffix, signature->toText());
}

} // namespace

MirrorPublisher::MirrorPublisher(Options options)
    : m_options(std::move(options))
{
}

MirrorPublisher::Outcome MirrorPublisher::publish() const
{
    Outcome outcome;
    const auto fail = [&outcome](const FileResult &result) {
        outcome.result = result;
        return outcome;
    };

    if (!serialIsFresh(m_options.serial, {})) {
        return fail(failure(u"the serial must be a whole number, not \""_s + m_options.serial + u'"'));
    }
    static const QRegularExpression versionPattern(u"^[0-9]+(\\.[0-9]+)*$"_s);
    if (!m_options.version.isEmpty() && !versionPattern.match(m_options.version).hasMatch()) {
        return fail(failure(u"the version must be digits and dots, not \""_s + m_options.version + u'"'));
    }
    QString base = m_options.baseUrl;
    while (base.endsWith(u'/')) {
        base.chop(1);
    }
    const QUrl baseUrl(base, QUrl::StrictMode);
    if (!baseUrl.isValid() || (baseUrl.scheme() != u"http"_s && baseUrl.scheme() != u"https"_s) ||
        baseUrl.host().isEmpty() || baseUrl.hasQuery() || baseUrl.hasFragment()) {
        return fail(failure(u"the base address must be an http or https address, not \""_s + m_options.baseUrl + u'"'));
    }
    const FileRead templateRead = readRegularFile(m_options.templateFile, MaxTemplateSize);
    if (!templateRead.ok()) {
        return fail(failure(m_options.templateFile + u": "_s + templateRead.message));
    }
    QMap<QString, QString> sources;
    if (const FileResult listed = listPackages(m_options.packagesFolder, &sources); !listed.ok()) {
        return fail(listed);
    }
    const bool offersUpdate = sources.contains(UpdatePackage.toString());
    if (offersUpdate && m_options.version.isEmpty()) {
        return fail(failure(u"the packages hold "_s + UpdatePackage + u": say which version it installs"_s));
    }
    if (!offersUpdate && !m_options.version.isEmpty()) {
        return fail(failure(u"a version is offered, but the packages hold no "_s + UpdatePackage));
    }
    // The next run would find the list and the signatures among the packages.
    if (QFileInfo(m_options.outFolder).canonicalFilePath() == QFileInfo(m_options.packagesFolder).canonicalFilePath()) {
        return fail(failure(u"the output folder is the packages folder; keep the packages in a folder of their own"_s));
    }
    if (!QDir().mkpath(m_options.outFolder)) {
        return fail(failure(m_options.outFolder + u": cannot create the folder"_s));
    }

    // Made beside the output, on the same drive, so each file goes in with a rename.
    QTemporaryDir staging(QDir(m_options.outFolder).filePath(u".publishing-XXXXXX"_s));
    if (!staging.isValid()) {
        return fail(failure(m_options.outFolder + u": "_s + staging.errorString()));
    }
    QMap<QString, QString> staged;
    for (auto it = sources.cbegin(); it != sources.cend(); ++it) {
        const QString copy = staging.filePath(it.key());
        if (!QFile::copy(it.value(), copy)) {
            return fail(failure(it.value() + u": cannot be copied"_s));
        }
        staged.insert(it.key(), copy);
    }

    const QString listFile = staging.filePath(u"Trivet.ini"_s);
    if (const FileResult written = writeFile(listFile, templateRead.bytes); !written.ok()) {
        return fail(written);
    }
    IniFile list(listFile);
    const auto published = [&base](QStringView name) -> QString {
        return base + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(name.toString()));
    };
    QList<std::tuple<QString, QString, QString>> addresses; // section, key, new value
    for (const QString &section : AddressSections) {
        for (const QString &entry : list.sectionEntries(section)) {
            const QString key = entry.section(u'=', 0, 0).trimmed();
            const QUrl address(list.value(section, key), QUrl::StrictMode);
            if (address.scheme() != u"http"_s && address.scheme() != u"https"_s) {
                continue;
            }
            const QString name = address.fileName();
            if (sources.contains(name) || name == ListPackage || (name == VersionFile && offersUpdate)) {
                addresses.append({section, key, published(name)});
            } else {
                outcome.warnings.append(section + u'/' + key + u" names "_s + name +
                                        u", which is not published here; the address is kept"_s);
            }
        }
    }
    addresses.append({Catalogue::ApplicationsSection.toString(), u"URLIni"_s, published(ListPackage)});
    if (offersUpdate) {
        addresses.append({u"VersionCheck"_s, u"updateURL"_s, published(VersionFile)});
        addresses.append({u"VersionCheck"_s, u"updaterURL"_s, published(UpdatePackage)});
    }
    addresses.append(
        {SignedProgramList::ListSection.toString(), SignedProgramList::SerialKey.toString(), m_options.serial});
    for (const auto &[section, key, value] : addresses) {
        if (const SaveResult saved = list.setValue(section, key, value); !saved.ok()) {
            return fail(failure(listFile + u": "_s + saved.message));
        }
    }
    if (const SaveResult saved = writePackageSections(list, staged); !saved.ok()) {
        return fail(failure(saved.message));
    }
    const FileRead finished = readRegularFile(listFile, MaxTemplateSize);
    if (!finished.ok()) {
        return fail(failure(listFile + u": "_s + finished.message));
    }
    if (!QFile::remove(listFile)) {
        return fail(failure(listFile + u": cannot be removed"_s));
    }
    const QString listPackage = staging.filePath(ListPackage.toString());
    if (const FileResult zipped = ArchiveWriter::write(listPackage, ArchiveFormat::Zip,
                                                       {ArchiveMember::file(u"Trivet.ini"_s, finished.bytes)});
        !zipped.ok()) {
        return fail(zipped);
    }

    if (const FileResult signedList = signInto(listPackage, m_options.serial, m_options.privateKey); !signedList.ok()) {
        return fail(signedList);
    }
    QStringList order = sources.keys();
    if (offersUpdate) {
        if (const FileResult signedUpdate =
                signInto(staged.value(UpdatePackage.toString()), m_options.version, m_options.privateKey);
            !signedUpdate.ok()) {
            return fail(signedUpdate);
        }
        if (const FileResult written =
                writeFile(staging.filePath(VersionFile.toString()), m_options.version.toUtf8() + "\r\n");
            !written.ok()) {
            return fail(written);
        }
        order.removeOne(UpdatePackage.toString());
        order += {UpdatePackage + PackageSignature::Suffix, UpdatePackage.toString()};
    }
    order += {ListPackage + PackageSignature::Suffix, ListPackage.toString()};
    if (offersUpdate) {
        order.append(VersionFile.toString());
    }

    // A package goes in before the list that vouches for it, and each signature just before its package:
    // a client that fetches in between is refused once and succeeds at its next try.
    for (const QString &name : std::as_const(order)) {
        const QString from = staging.filePath(name);
        const QString to = QDir(m_options.outFolder).filePath(name);
        std::error_code error;
        QFile::setPermissions(from, WebFilePermissions);
        std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), error);
        if (error) {
            return fail(failure(to + u": "_s + QString::fromStdString(error.message())));
        }
        outcome.written.append(name);
    }
    outcome.result = FileResult::success();
    return outcome;
}

} // namespace Trivet::Tools
