#include "common/platform/RegularFile.h"
#include "common/trust/TrustedKeys.h"
#include "tools/demo/MirrorBuilder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

using namespace Qt::StringLiterals;

// Writes the demo package mirror: every package the launcher can fetch, each holding copies of a stand-in
// program laid out the way the launcher unpacks it.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"TrivetDemoBuilder"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Writes a package mirror for trying the launcher without the maker's site."_s);
    parser.addHelpOption();
    const QCommandLineOption standIn(u"standin"_s, u"The program copied into every package."_s, u"path"_s);
    const QCommandLineOption out(u"out"_s, u"The mirror folder; packages go below it."_s, u"folder"_s);
    const QCommandLineOption ini(u"ini"_s, u"The settings file whose addresses and names to serve."_s, u"path"_s);
    const QCommandLineOption version(u"offer-version"_s, u"The version named by the version file."_s, u"text"_s,
                                     u"1.2.9"_s);
    const QCommandLineOption launcher(u"launcher"_s, u"The launcher the update package carries."_s, u"path"_s);
    const QCommandLineOption key(u"key"_s, u"The private key that signs the program list and the update package."_s,
                                 u"path"_s);
    const QCommandLineOption serial(u"serial"_s, u"The program list's serial number, with --key."_s, u"number"_s);
    parser.addOptions({standIn, out, ini, version, launcher, key, serial});
    parser.process(app);

    QTextStream err(stderr);
    if (!parser.isSet(standIn) || !parser.isSet(out) || !parser.isSet(ini)) {
        err << "TrivetDemoBuilder: --standin, --out and --ini are required\n";
        return 2;
    }

    Trivet::Demo::MirrorBuilder builder(parser.value(standIn), parser.value(ini), parser.value(out));
    builder.setOfferedVersion(parser.value(version));
    builder.setLauncher(parser.value(launcher));
    if (parser.isSet(key) != parser.isSet(serial)) {
        err << "TrivetDemoBuilder: --key and --serial go together\n";
        return 2;
    }
    if (parser.isSet(key)) {
        const Trivet::FileRead read = Trivet::readRegularFile(parser.value(key), Trivet::MaxTrustFileSize);
        QString reason = read.message;
        const std::optional<QByteArray> privateKey =
            read.ok() ? Trivet::parsePrivateKeyFile(read.bytes, &reason) : std::nullopt;
        if (!privateKey) {
            err << "TrivetDemoBuilder: " << parser.value(key) << ": " << reason << '\n';
            return 1;
        }
        builder.setSigningKey(*privateKey, parser.value(serial));
    }
    const Trivet::Demo::MirrorResult result = builder.build();
    if (!result.ok) {
        err << "TrivetDemoBuilder: " << result.message << '\n';
        return 1;
    }
    QTextStream(stdout) << "Wrote " << result.written.size() << " files below " << parser.value(out) << '\n';
    return 0;
}
