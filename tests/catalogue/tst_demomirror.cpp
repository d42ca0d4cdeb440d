#include "common/platform/AppFolder.h"
#include "common/platform/ExtractorCommand.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/trust/PackageVerifier.h"
#include "common/trust/TrustedKeys.h"
#include "launcher/catalogue/Catalogue.h"
#include "tests/support/ExtractAndWait.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <archive.h>
#include <archive_entry.h>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

const QByteArray StandIn = "#!/bin/sh\necho stand-in\n";

QString shippedSettings()
{
    return QStringLiteral(TRIVET_SOURCE_DIR) + u"/portable/Trivet.ini"_s;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

struct Member
{
    bool isFolder = false;
    int permissions = 0;
    QByteArray content;
};

struct Listing
{
    bool ok = false;
    int format = 0; // ARCHIVE_FORMAT_BASE_MASK part of archive_format()
    QMap<QString, Member> members;
};

Listing listArchive(const QString &path)
{
    Listing listing;
    archive *a = archive_read_new();
    archive_read_support_format_zip(a);
    archive_read_support_format_7zip(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 16384) != ARCHIVE_OK) {
        archive_read_free(a);
        return listing;
    }
    archive_entry *entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(a, &entry)) == ARCHIVE_OK) {
        Member m;
        m.isFolder = archive_entry_filetype(entry) == AE_IFDIR;
        m.permissions = int(archive_entry_perm(entry));
        QByteArray buffer(16384, Qt::Uninitialized);
        la_ssize_t n = 0;
        while ((n = archive_read_data(a, buffer.data(), size_t(buffer.size()))) > 0) {
            m.content.append(buffer.constData(), n);
        }
        QString name = QString::fromUtf8(archive_entry_pathname_utf8(entry));
        if (name.endsWith(u'/')) {
            name.chop(1);
        }
        listing.members.insert(name, m);
        listing.format = archive_format(a) & ARCHIVE_FORMAT_BASE_MASK;
    }
    listing.ok = status == ARCHIVE_EOF;
    archive_read_free(a);
    return listing;
}

struct Run
{
    int exitCode = -1;
    QByteArray errors;
};

Run runTool(const QString &tool, const QStringList &arguments)
{
    QProcess builder;
    builder.start(tool, arguments);
    if (!builder.waitForFinished(60000)) {
        builder.kill();
        builder.waitForFinished();
        return {};
    }
    return {builder.exitStatus() == QProcess::NormalExit ? builder.exitCode() : -1, builder.readAllStandardError()};
}

Run runBuilder(const QStringList &arguments)
{
    return runTool(QStringLiteral(TRIVET_DEMO_BUILDER), arguments);
}

// A key pair made as the demo makes it: OUT.private and OUT.key.
bool makeKeyPair(const QString &basename)
{
    QDir().mkpath(QFileInfo(basename).absolutePath());
    return runTool(QStringLiteral(TRIVET_PUBLISH), {u"keygen"_s, basename}).exitCode == 0;
}

// "\Metapad\Metapad.exe" → "Metapad/Metapad.exe"
QString slashPath(const QString &tail)
{
    QString path = tail;
    path.replace(u'\\', u'/');
    return path.mid(1);
}

} // namespace

class tst_DemoMirror final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void packageHoldsTheProgramWhereTheCommandPutsIt_data();
    void packageHoldsTheProgramWhereTheCommandPutsIt();
    void antiVirPackageHoldsTheFilesToMove();
    void everyAddressOfTheSettingsFileIsServed();
    void extrasAreLaidOutForTheirInstallers();
    void installingFromTheMirrorGivesEveryProgram();

    void signedPackagesVerifyWithTheDemoKeyOnly_data();
    void signedPackagesVerifyWithTheDemoKeyOnly();

    void refusesUnusableInput_data();
    void refusesUnusableInput();

private:
    QString mirrorFile(const QString &relative) const { return m_mirror.path() + u'/' + relative; }
    QString settings() const { return m_work.filePath(u"Trivet.ini"_s); }
    // The public halves in the Keys folders of two portable folders: the demo's, and another publisher's.
    QString demoFolder() const { return m_work.filePath(u"demo"_s); }
    QString otherFolder() const { return m_work.filePath(u"other"_s); }

    QTemporaryDir m_work;
    QTemporaryDir m_mirror;
};

void tst_DemoMirror::initTestCase()
{
    QVERIFY(m_work.isValid() && m_mirror.isValid());
    QVERIFY(writeAll(m_work.filePath(u"standin"_s), StandIn));
    // The builder adds the packages' checksums to the settings it is given.
    QVERIFY(QFile::copy(shippedSettings(), settings()));
    // The private halves stay outside the portable folders.
    for (const QString &name : {u"demo"_s, u"other"_s}) {
        const QString basename = m_work.filePath(u"private/"_s + name);
        QVERIFY(makeKeyPair(basename));
        QVERIFY(QDir().mkpath(m_work.filePath(name + u"/Keys"_s)));
        QVERIFY(QFile::copy(basename + u".key"_s, m_work.filePath(name + u"/Keys/demo-mirror.key"_s)));
    }
    const Run run = runBuilder({u"--standin"_s, m_work.filePath(u"standin"_s), u"--out"_s, m_mirror.path(), u"--ini"_s,
                                settings(), u"--launcher"_s, m_work.filePath(u"standin"_s), u"--key"_s,
                                m_work.filePath(u"private/demo.private"_s), u"--serial"_s, u"1765200000"_s});
    QVERIFY2(run.exitCode == 0, run.errors.constData());
}

void tst_DemoMirror::packageHoldsTheProgramWhereTheCommandPutsIt_data()
{
    QTest::addColumn<QString>("id");
    for (const CatalogueEntry &e : Catalogue::entries()) {
        QTest::newRow(e.id.toUtf8().constData()) << e.id.toString();
    }
}

void tst_DemoMirror::packageHoldsTheProgramWhereTheCommandPutsIt()
{
    QFETCH(QString, id);

    const CatalogueEntry *e = Catalogue::entryById(id);
    QVERIFY(e);
    const EntryTails tails = Catalogue::resolveTails(*e, IniFile(shippedSettings()), Phase::Install);
    QVERIFY(tails.configured);
    const QString package = mirrorFile(u"packages"_s + slashPath(tails.package).prepend(u'/'));
    QVERIFY2(QFileInfo::exists(package), qPrintable(package));

    if (e->kind == InstallKind::Direct || e->kind == InstallKind::SelfExtracting) {
        QCOMPARE(readAll(package), StandIn);
        QVERIFY(QFileInfo(package).isExecutable());
        return;
    }

    const std::optional<ExtractorCommand> command = ExtractorCommand::parse(e->command);
    QVERIFY(command);
    const Listing listing = listArchive(package);
    QVERIFY(listing.ok);
    QCOMPARE(listing.format,
             command->tool == ExtractorCommand::Tool::SevenZip ? ARCHIVE_FORMAT_7ZIP : ARCHIVE_FORMAT_ZIP);

    const QString prefix = command->targetFolder.isEmpty() ? QString() : command->targetFolder + u'/';
    for (const QString &tail : {tails.executable, tails.startPath}) {
        const QString path = slashPath(tail);
        QVERIFY2(path.startsWith(prefix, Qt::CaseInsensitive), qPrintable(path));
        const QString member = path.mid(prefix.size());
        QVERIFY2(listing.members.contains(member), qPrintable(member));
        QCOMPARE(listing.members.value(member).content, StandIn);
        QCOMPARE(listing.members.value(member).permissions, 0755);
    }
}

void tst_DemoMirror::antiVirPackageHoldsTheFilesToMove()
{
    const Listing listing = listArchive(mirrorFile(u"packages/AntivirPE.zip"_s));
    QVERIFY(listing.ok);
    for (const QStringView name : Catalogue::antiVirFiles()) {
        QVERIFY2(listing.members.contains(name.toString()), qPrintable(name.toString()));
        QVERIFY(!listing.members.value(name.toString()).isFolder);
    }
    QVERIFY(listing.members.contains(u"Basic/avcenter.exe"_s));
    QVERIFY(listing.members.value(u"Basic"_s).isFolder);
}

// The launcher asks for what the settings file names; the demo only swaps the host.
void tst_DemoMirror::everyAddressOfTheSettingsFileIsServed()
{
    QList<std::pair<QString, QString>> keys{{u"Applications"_s, u"URLUpd"_s},
                                            {u"Applications"_s, u"URLIni"_s},
                                            {u"OpenOffice.orgPortable"_s, u"URL-OOP"_s},
                                            {u"VersionCheck"_s, u"updateURL"_s}};
    for (const CatalogueEntry &e : Catalogue::entries()) {
        keys.append({u"Applications"_s, e.urlKey.toString()});
    }
    for (const auto &[section, key] : keys) {
        const QUrl url(readIni(section, key, shippedSettings()));
        QVERIFY2(url.isValid() && !url.path().isEmpty(), qPrintable(key));
        QVERIFY2(QFileInfo(mirrorFile(url.path().mid(1))).isFile(), qPrintable(key + u" → "_s + url.path()));
    }
}

void tst_DemoMirror::extrasAreLaidOutForTheirInstallers()
{
    const QString section = u"OpenOffice.orgPortable"_s;
    const QString folder = readIni(section, u"OOP-Dir"_s, shippedSettings());
    const Listing suite = listArchive(mirrorFile(u"packages/OpenOfficePortable.zip"_s));
    QVERIFY(suite.ok);
    for (int n = 1; n <= 7; ++n) {
        const QString program = readIni(section, u"OOP-App"_s + QString::number(n), shippedSettings());
        QVERIFY(!program.isEmpty());
        const QString member = folder + u'/' + program;
        QVERIFY2(suite.members.contains(member), qPrintable(member));
        QCOMPARE(suite.members.value(member).permissions, 0755);
    }

    // The version offered is newer than the one shipped, and the update package carries a launcher that says
    // it is that version.
    QVERIFY(readAll(mirrorFile(u"version/update.dat"_s)).startsWith("1.2.9"));
    QVERIFY(readAll(QStringLiteral(TRIVET_SOURCE_DIR) + u"/portable/ver.dat"_s).startsWith("1.2.8"));
    const Listing update = listArchive(mirrorFile(u"TrivetUpdate/TrivetUpdate.zip"_s));
    QVERIFY(update.ok);
    const QString launcher = Product::programFile(Product::LauncherName);
    QCOMPARE(update.members.value(launcher).content, StandIn);
    QCOMPARE(update.members.value(launcher).permissions, 0755);
    QCOMPARE(update.members.value(u"ver.dat"_s).content, QByteArray("1.2.9\r\n"));
    QFile package(mirrorFile(u"TrivetUpdate/TrivetUpdate.zip"_s));
    QCryptographicHash sha(QCryptographicHash::Sha256);
    QVERIFY(package.open(QIODevice::ReadOnly) && sha.addData(&package));
    QCOMPARE(readIni(u"Checksums"_s, u"TrivetUpdate.zip"_s, settings()), QString::fromLatin1(sha.result().toHex()));

    const Listing bundle = listArchive(mirrorFile(u"antivir/ivdf_fusebundle_nt_en.zip"_s));
    QVERIFY(bundle.ok);
    QVERIFY(!bundle.members.isEmpty());

    const Listing settings = listArchive(mirrorFile(u"settings/Trivet.zip"_s));
    QVERIFY(settings.ok);
    QCOMPARE(settings.members.value(u"Trivet.ini"_s).content, readAll(this->settings()));
}

// Every package, fetched under its catalogue name and unpacked by the launcher's own extractor, must leave
// the program where the click looks for it.
void tst_DemoMirror::installingFromTheMirrorGivesEveryProgram()
{
    QTemporaryDir portable;
    QVERIFY(portable.isValid());
    const AppFolder folder(portable.path());
    QVERIFY(QFile::copy(settings(), folder.iniPath()));
    // The stand-ins are native programs under Windows names: no icon may say they need Wine.
    QCOMPARE(IniFile(folder.iniPath()).value(Catalogue::PlatformSection, Catalogue::NativePackagesKey), u"1"_s);

    for (const CatalogueEntry &e : Catalogue::entries()) {
        const EntryPaths paths = Catalogue::resolvePaths(e, folder, IniFile(folder.iniPath()), Phase::Install);
        const QString packageName = QFileInfo(paths.package).fileName();
        const QString mirrored = mirrorFile(u"packages/"_s + packageName);
        // The settings name the SHA-256 the launcher checks each download against.
        QFile package(mirrored);
        QCryptographicHash sha(QCryptographicHash::Sha256);
        QVERIFY(package.open(QIODevice::ReadOnly) && sha.addData(&package));
        QCOMPARE(IniFile(folder.iniPath()).value(u"Checksums", packageName), QString::fromLatin1(sha.result().toHex()));
        QFile::remove(paths.package);
        QVERIFY2(QFile::copy(mirrored, paths.package), qPrintable(mirrored));
        if (!e.command.isEmpty()) {
            const ExtractResult result = Test::extractAndWait(folder.root(), e.command.toString());
            QVERIFY2(result.ok(), qPrintable(e.id.toString() + u": "_s + result.message));
        }
        if (e.kind == InstallKind::SelfExtracting) {
            continue; // the package unpacks itself when started; nothing is looked for
        }
        const EntryPaths installed = Catalogue::resolvePaths(e, folder, IniFile(folder.iniPath()), Phase::Launch);
        QVERIFY2(QFileInfo(installed.executable).isFile(), qPrintable(e.id.toString()));
        QVERIFY2(QFileInfo(installed.startPath).isExecutable(), qPrintable(e.id.toString()));
    }
}

void tst_DemoMirror::signedPackagesVerifyWithTheDemoKeyOnly_data()
{
    QTest::addColumn<QString>("package"); // below the mirror, where the settings' address points
    QTest::addColumn<bool>("demoKeys");
    QTest::addColumn<VerificationStatus>("status");
    QTest::addColumn<QString>("sequence");

    const QString list = u"settings/Trivet.zip"_s;
    const QString update = u"TrivetUpdate/TrivetUpdate.zip"_s;
    QTest::newRow("list, demo key") << list << true << VerificationStatus::Success << u"1765200000"_s;
    QTest::newRow("update, demo key") << update << true << VerificationStatus::Success << u"1.2.9"_s;
    QTest::newRow("list, another key") << list << false << VerificationStatus::UnknownKey << QString();
    QTest::newRow("update, another key") << update << false << VerificationStatus::UnknownKey << QString();
}

// The launcher finds each signature at its package's address plus ".sig" and takes the package only with a
// key of its Keys folder; the list carries the serial its signature names.
void tst_DemoMirror::signedPackagesVerifyWithTheDemoKeyOnly()
{
    QFETCH(QString, package);
    QFETCH(bool, demoKeys);
    QFETCH(VerificationStatus, status);
    QFETCH(QString, sequence);

    const TrustedKeys keys = loadTrustedKeys(demoKeys ? demoFolder() : otherFolder());
    QCOMPARE(keys.keys.size(), 1);
    const Verification verification =
        verifyPackageFile(mirrorFile(package), mirrorFile(package + u".sig"_s), QFileInfo(package).fileName(), keys);
    QCOMPARE(verification.status, status);
    QCOMPARE(verification.sequence, sequence);
    if (verification.ok() && package.endsWith(u"Trivet.zip"_s)) {
        QCOMPARE(readIni(u"List"_s, u"Serial"_s, settings()), sequence);
        const Listing list = listArchive(mirrorFile(package));
        QVERIFY(list.members.value(u"Trivet.ini"_s).content.contains(QByteArray("Serial=" + sequence.toUtf8())));
    }
}

void tst_DemoMirror::refusesUnusableInput_data()
{
    QTest::addColumn<QString>("pattern"); // a line of the shipped settings file to replace
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("withStandIn");

    QTest::newRow("no stand-in") << QString() << QString() << false;
    QTest::newRow("AV-3 without a name") << u"appAV-3exe=stinger.exe"_s << u"appAV-3exe="_s << true;
    QTest::newRow("folder climbing out") << u"appOFF-3dir=FoxitReader"_s << u"appOFF-3dir=..\\.."_s << true;
    QTest::newRow("address climbing out") << u"URLOFF-6=http://packages.quillory.example/packages/mpad35.zip"_s
                                          << u"URLOFF-6=http://packages.quillory.example/../../mpad35.zip"_s << true;
    QTest::newRow("suite folder missing") << u"OOP-Dir=OpenOfficePortable"_s << u"OOP-Dir="_s << true;
}

void tst_DemoMirror::refusesUnusableInput()
{
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(bool, withStandIn);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString settings = QString::fromUtf8(readAll(shippedSettings()));
    if (!pattern.isEmpty()) {
        QVERIFY(settings.contains(pattern));
        settings.replace(pattern, replacement);
    }
    QVERIFY(writeAll(dir.filePath(u"Trivet.ini"_s), settings.toUtf8()));
    if (withStandIn) {
        QVERIFY(writeAll(dir.filePath(u"standin"_s), StandIn));
    }

    const QString mirror = dir.filePath(u"deep/mirror"_s);
    const Run run = runBuilder(
        {u"--standin"_s, dir.filePath(u"standin"_s), u"--out"_s, mirror, u"--ini"_s, dir.filePath(u"Trivet.ini"_s)});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(!run.errors.isEmpty());
    // Refused before anything is written: no half mirror, and nothing beside it.
    QVERIFY(!QFileInfo::exists(mirror));
    QVERIFY(!QFileInfo::exists(dir.filePath(u"mpad35.zip"_s)));
}

QTEST_GUILESS_MAIN(tst_DemoMirror)
#include "tst_demomirror.moc"
