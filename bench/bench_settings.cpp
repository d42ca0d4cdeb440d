#include "common/settings/IniDocument.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "common/settings/LanguageTexts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

constexpr qint64 LargeSize = qint64(50) << 20;
const QString portableSource = QStringLiteral(TRIVET_PORTABLE_SOURCE);

// Resident memory of this process in KiB ("VmRSS" now, "VmHWM" at its peak), or -1 without /proc.
qint64 memoryKiB(const char *field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    // /proc files report a size of 0, so atEnd() cannot be trusted; readAll() reads until the end.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(field)) {
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// The shipped Trivet.ini, then half the size in many sections of a hundred entries and half in one
// section, written in blocks so that making the file does not raise the peak memory measured later.
bool writeLargeSettings(const QString &path)
{
    QFile shipped(portableSource + u"/Trivet.ini"_s);
    QFile file(path);
    if (!shipped.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(shipped.readAll());
    QByteArray block;
    int section = 0;
    int entry = 0;
    while (file.size() < LargeSize / 2) {
        block += "\r\n[Archive" + QByteArray::number(section++) + "]\r\n";
        for (int i = 1; i <= 100; ++i) {
            block += "URLARC-" + QByteArray::number(i) + "=http://packages.quillory.example/packages/pkg" +
                     QByteArray::number(entry++) + ".zip\r\n";
        }
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    block += "\r\n[MyOwnAppsMore]\r\n";
    for (int i = 1; file.size() + block.size() < LargeSize; ++i) {
        block +=
            "MyOwnAppPath" + QByteArray::number(i) + "=E:\\Programs\\Tool" + QByteArray::number(i) + "\\Tool.exe\r\n";
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    return file.error() == QFileDevice::NoError;
}

// Moves the file's time an hour back, as for a file that was not touched during this run; otherwise the
// first two seconds after writing it count as too recent to trust the time alone.
void ageFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::Append)) {
        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    }
}

struct Probe
{
    QString section;
    QString key;
};

template <typename Lookup> double nanosecondsPerLookup(const QList<Probe> &probes, int rounds, Lookup lookup)
{
    qsizetype found = 0;
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < rounds; ++r) {
        for (const Probe &p : probes) {
            found += lookup(p).size();
        }
    }
    const double ns = double(timer.nsecsElapsed()) / double(rounds * probes.size());
    if (found == 0) {
        std::printf("  (no probe was found: the figures are not meaningful)\n");
    }
    return ns;
}

void print(const char *what, double ns)
{
    if (ns >= 10000) {
        std::printf("  %-58s %10.1f us\n", what, ns / 1000);
    } else {
        std::printf("  %-58s %10.0f ns\n", what, ns);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_settings: no temporary folder\n");
        return 1;
    }

    // A 50 MB settings file: parse time and memory, then lookups.
    const QString large = dir.filePath(u"Trivet.ini"_s);
    if (!writeLargeSettings(large)) {
        std::fprintf(stderr, "bench_settings: cannot write %s\n", qPrintable(large));
        return 1;
    }
    ageFile(large);
    const QList<Probe> largeProbes{
        {u"Language"_s, u"Default"_s},      {u"applications"_s, u"APPOFF-4"_s},
        {u"Archive7000"_s, u"URLARC-50"_s}, {u"MyOwnAppsMore"_s, u"MyOwnAppPath300000"_s},
        {u"VersionCheck"_s, u"absent"_s},
    };
    std::printf("settings file of %.1f MB\n", double(QFileInfo(large).size()) / 1e6);
    const qint64 rssBefore = memoryKiB("VmRSS:");
    {
        QElapsedTimer timer;
        timer.start();
        const IniDocument doc = IniDocument::fromFile(large);
        const qint64 parseMs = timer.elapsed();
        std::printf("  %-58s %10lld ms\n", "read and parse", qint64(parseMs));
        std::printf("  %-58s %10lld MiB\n", "resident memory before parsing", rssBefore / 1024);
        std::printf("  %-58s %10lld MiB\n", "resident memory holding the parsed file", memoryKiB("VmRSS:") / 1024);
        std::printf("  %-58s %10lld MiB\n", "peak resident memory so far", memoryKiB("VmHWM:") / 1024);
        print("value() in the parsed document", nanosecondsPerLookup(largeProbes, 200000, [&](const Probe &p) {
                  return doc.value(p.section, p.key).value_or(QString());
              }));
    }
    {
        const IniFile file(large);
        QElapsedTimer timer;
        timer.start();
        file.value(u"Language"_s, u"Default"_s);
        std::printf("  %-58s %10lld ms\n", "IniFile: first read (parse)", timer.elapsed());
        print("IniFile::value() with its freshness check",
              nanosecondsPerLookup(largeProbes, 100000, [&](const Probe &p) { return file.value(p.section, p.key); }));
        std::printf("  %-58s %10d\n", "IniFile: parses", file.parseCount());
    }
    {
        IniFile file(large);
        file.value(u"Language"_s, u"Default"_s);
        QElapsedTimer timer;
        timer.start();
        const SaveResult saved = file.setValue(u"MyOwnAppsMore"_s, u"MyOwnAppPath1"_s, u"F:\\Tool\\Tool.exe"_s);
        std::printf("  %-58s %10lld ms%s\n", "IniFile::setValue() (edit, write, keep)", timer.elapsed(),
                    saved.ok() ? "" : " (failed)");
    }
    QFile::remove(large);

    // The settings file and language files as shipped.
    const QString settings = dir.filePath(u"Shipped.ini"_s);
    QFile::copy(portableSource + u"/Trivet.ini"_s, settings);
    ageFile(settings);
    const QList<Probe> settingsProbes{
        {u"Language"_s, u"Default"_s},
        {u"Applications"_s, u"appOFF-4"_s},
        {u"Applications"_s, u"URLMISC-10"_s},
        {u"VersionCheck"_s, u"absent"_s},
    };
    std::printf("shipped settings file (%lld bytes)\n", QFileInfo(settings).size());
    print(
        "readIni() one-shot (read and parse each time)",
        nanosecondsPerLookup(settingsProbes, 500, [&](const Probe &p) { return readIni(p.section, p.key, settings); }));
    const IniFile shipped(settings);
    print("IniFile::value() with its freshness check",
          nanosecondsPerLookup(settingsProbes, 50000, [&](const Probe &p) { return shipped.value(p.section, p.key); }));
    const IniDocument shippedDoc = IniDocument::fromFile(settings);
    print("value() in the parsed document", nanosecondsPerLookup(settingsProbes, 200000, [&](const Probe &p) {
              return shippedDoc.value(p.section, p.key).value_or(QString());
          }));
    {
        // Just written: within 2 s of its time the file is read again at each lookup, though not parsed.
        const QString fresh = dir.filePath(u"Fresh.ini"_s);
        QFile::copy(portableSource + u"/Trivet.ini"_s, fresh);
        const IniFile file(fresh);
        print("IniFile::value() within 2 s of a change (read, no parse)",
              nanosecondsPerLookup(settingsProbes, 100, [&](const Probe &p) { return file.value(p.section, p.key); }));
    }

    const QString root = dir.filePath(u"portable"_s);
    QDir().mkpath(root + u"/Languages"_s);
    for (const QString &name : {u"English.lng"_s, u"Deutsch.lng"_s}) {
        QFile::copy(portableSource + u"/Languages/"_s + name, root + u"/Languages/"_s + name);
        ageFile(root + u"/Languages/"_s + name);
    }
    const QString deutsch = root + u"/Languages/Deutsch.lng"_s;
    const QList<Probe> texts{{{}, u"mnuFile"_s}, {{}, u"cmdExit"_s}, {{}, u"errMsg1"_s}, {{}, u"stab3"_s}};
    std::printf("language file Deutsch.lng (%lld bytes)\n", QFileInfo(deutsch).size());
    print("translation() one-shot (read and parse each time)",
          nanosecondsPerLookup(texts, 500, [&](const Probe &p) { return translation(p.key, deutsch); }));
    LanguageTexts languages(root);
    languages.select(u"Deutsch.lng"_s);
    print("LanguageTexts::text() with its freshness check",
          nanosecondsPerLookup(texts, 50000, [&](const Probe &p) { return languages.text(p.key); }));
    std::printf("  %-58s %10d\n", "LanguageTexts: parses", languages.parseCount());
    return 0;
}
