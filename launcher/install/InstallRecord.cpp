#include "launcher/install/InstallRecord.h"

#include "common/platform/RegularFile.h"
#include "common/platform/RelativePath.h"
#include "common/product/Product.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

constexpr QStringView RecordSuffix = u".record";
constexpr int Format = 1;
// Far beyond any program's file list; a larger file is not a record.
constexpr qint64 MaxRecordSize = 16 * 1024 * 1024;

bool isEntryName(const QString &entry)
{
    static const QRegularExpression name(u"^[A-Za-z0-9_][A-Za-z0-9_.-]{0,63}$"_s);
    return name.match(entry).hasMatch();
}

bool isFileName(const QString &name)
{
    RelativePath::Refusal refusal = RelativePath::Refusal::None;
    const std::optional<RelativePath> path = RelativePath::parse(name, RelativePath::Option::NamesFile, &refusal);
    return path && path->components().size() == 1;
}

std::optional<QByteArray> digestOf(QStringView hex)
{
    static const QRegularExpression digits(u"^[0-9a-f]{64}$"_s);
    if (!digits.match(hex).hasMatch()) {
        return std::nullopt;
    }
    return QByteArray::fromHex(hex.toLatin1());
}

std::optional<qint64> sizeOf(QStringView text)
{
    static const QRegularExpression digits(u"^[0-9]{1,18}$"_s);
    if (!digits.match(text).hasMatch()) {
        return std::nullopt;
    }
    return text.toLongLong();
}

// The first components that belong to the portable folder itself, compared without regard to case.
bool isOwnName(const QString &first)
{
    static const QStringList own = [] {
        QStringList names{u"Trivet.ini"_s, u"Languages"_s,    u"Keys"_s,           u"Help"_s,
                          u"Icons"_s,      u".trivet-work"_s, u".trivet-records"_s};
        for (const QStringView program : {Product::LauncherName, Product::UpdaterName}) {
            names << program.toString() << program.toString() + u".exe"_s;
        }
        return names;
    }();
    return own.contains(first, Qt::CaseInsensitive);
}

} // namespace

QString installRecordFolder(const QString &appRoot)
{
    return QDir(appRoot).filePath(u".trivet-records"_s);
}

QString installRecordPath(const QString &appRoot, const QString &entry)
{
    return installRecordFolder(appRoot) + u'/' + entry + RecordSuffix;
}

QString refusedRecordPath(const QString &appRoot, const QString &path)
{
    RelativePath::Refusal refusal = RelativePath::Refusal::None;
    const std::optional<RelativePath> relative = RelativePath::parse(path, RelativePath::Option::NamesFile, &refusal);
    if (!relative) {
        return u"the path "_s + RelativePath::explain(refusal);
    }
    if (isOwnName(relative->components().first())) {
        return u"the path names the portable folder's own "_s + relative->components().first();
    }
    // The file itself may have become a link since (a change the check reports, never followed); a folder on
    // the way that is a link would lead elsewhere.
    QString at = QDir::cleanPath(appRoot);
    const QStringList components = relative->components();
    for (const QString &component : components.first(components.size() - 1)) {
        at += u'/' + component;
        const QFileInfo step(at);
        if (step.isSymLink() || step.isJunction()) {
            return u"the path leads through the link "_s + QDir::toNativeSeparators(at);
        }
        if (!step.exists()) {
            break; // a file removed since: nothing further down can be a link
        }
    }
    return {};
}

QByteArray formatInstallRecord(const InstallRecord &record)
{
    QByteArray text = "# What one install put where; paths are below the portable folder.\n";
    text += "format=" + QByteArray::number(Format) + '\n';
    text += "entry=" + record.entry.toUtf8() + '\n';
    text += "package=" + record.package.toUtf8() + '\n';
    text += "sha256=" + record.packageSha256.toHex() + '\n';
    text += "size=" + QByteArray::number(record.packageSize) + '\n';
    text += "date=" + record.date.toUTC().toString(Qt::ISODate).toUtf8() + '\n';
    for (const PlacedFile &file : record.files) {
        text += "file=" + QByteArray::number(file.size) + ' ' + file.sha256.toHex() + ' ' + file.path.toUtf8() + '\n';
    }
    return text;
}

SaveResult writeInstallRecord(const QString &appRoot, const InstallRecord &record)
{
    if (!isEntryName(record.entry)) {
        return SaveResult::failure(SaveStatus::OpenFailed, u"no record for the entry name "_s + record.entry);
    }
    for (const PlacedFile &file : record.files) {
        if (const QString refused = refusedRecordPath(appRoot, file.path); !refused.isEmpty()) {
            return SaveResult::failure(SaveStatus::OpenFailed, file.path + u": "_s + refused);
        }
    }
    if (!QDir().mkpath(installRecordFolder(appRoot))) {
        return SaveResult::failure(SaveStatus::OpenFailed,
                                   u"cannot create "_s + QDir::toNativeSeparators(installRecordFolder(appRoot)));
    }
    return saveAtomically(installRecordPath(appRoot, record.entry), formatInstallRecord(record));
}

InstallRecordRead readInstallRecord(const QString &appRoot, const QString &recordFile)
{
    const auto refuse = [](const QString &why) { return InstallRecordRead{std::nullopt, why}; };
    // Checked before opening: opening a named pipe would wait for a writer.
    if (!isRegularFile(recordFile)) {
        return refuse(u"not a file"_s);
    }
    QFile file(recordFile);
    if (file.size() > MaxRecordSize) {
        return refuse(u"larger than any record"_s);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return refuse(file.errorString());
    }
    const QByteArray bytes = file.read(MaxRecordSize + 1);
    if (bytes.size() > MaxRecordSize) {
        return refuse(u"larger than any record"_s);
    }

    InstallRecord record;
    QSet<QString> seen;
    QSet<QString> paths;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype number = 1; number <= lines.size(); ++number) {
        QString line = QString::fromUtf8(lines.at(number - 1));
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const auto bad = [&](const QString &why) { return refuse(u"line %1: "_s.arg(number) + why); };
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) {
            return bad(u"not a key=value line"_s);
        }
        const QString key = line.first(equals);
        const QString value = line.sliced(equals + 1);
        if (key == u"file") {
            const QStringList parts = value.split(u' ');
            const std::optional<qint64> size = parts.size() >= 3 ? sizeOf(parts.at(0)) : std::nullopt;
            const std::optional<QByteArray> digest = parts.size() >= 3 ? digestOf(parts.at(1)) : std::nullopt;
            if (!size || !digest) {
                return bad(u"not SIZE SHA256 PATH"_s);
            }
            const QString path = value.sliced(parts.at(0).size() + parts.at(1).size() + 2);
            if (const QString refused = refusedRecordPath(appRoot, path); !refused.isEmpty()) {
                return bad(refused);
            }
            if (paths.contains(path)) {
                return bad(u"the file is listed twice"_s);
            }
            paths.insert(path);
            record.files.append({path, *size, *digest});
            continue;
        }
        if (seen.contains(key)) {
            return bad(key + u" comes twice"_s);
        }
        seen.insert(key);
        if (key == u"format") {
            if (value != QString::number(Format)) {
                return bad(u"a format this launcher does not know"_s);
            }
        } else if (key == u"entry") {
            if (!isEntryName(value)) {
                return bad(u"not an entry name"_s);
            }
            record.entry = value;
        } else if (key == u"package") {
            if (!isFileName(value)) {
                return bad(u"not a file name"_s);
            }
            record.package = value;
        } else if (key == u"sha256") {
            const std::optional<QByteArray> digest = digestOf(value);
            if (!digest) {
                return bad(u"not a SHA-256"_s);
            }
            record.packageSha256 = *digest;
        } else if (key == u"size") {
            const std::optional<qint64> size = sizeOf(value);
            if (!size) {
                return bad(u"not a size"_s);
            }
            record.packageSize = *size;
        } else if (key == u"date") {
            record.date = QDateTime::fromString(value, Qt::ISODate);
            if (!record.date.isValid()) {
                return bad(u"not a date"_s);
            }
        } else {
            return bad(u"unknown key "_s + key);
        }
    }
    for (const QString &key : {u"format"_s, u"entry"_s, u"package"_s, u"sha256"_s, u"size"_s, u"date"_s}) {
        if (!seen.contains(key)) {
            return refuse(u"no "_s + key + u" line"_s);
        }
    }
    return {record, {}};
}

QHash<QString, QStringList> filesOwnedBy(const QList<InstallRecord> &records)
{
    QHash<QString, QStringList> owners;
    for (const InstallRecord &record : records) {
        for (const PlacedFile &file : record.files) {
            QStringList &entries = owners[file.path];
            if (!entries.contains(record.entry)) {
                entries.append(record.entry);
            }
        }
    }
    return owners;
}

} // namespace Trivet
