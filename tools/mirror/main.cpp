#include "tools/mirror/MirrorServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaEnum>
#include <cstdio>

using namespace Qt::StringLiterals;

// Serves a folder over HTTP on 127.0.0.1 until killed, for trying downloads against a local mirror and for
// benchmarks that must measure the client apart from the server.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"TrivetMirror"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Serves a folder over HTTP on 127.0.0.1."_s);
    parser.addHelpOption();
    const QCommandLineOption rootOption(u"root"_s, u"The folder to serve."_s, u"DIR"_s);
    const QCommandLineOption portOption(u"port"_s, u"The port to listen on; 0 picks a free one."_s, u"N"_s, u"0"_s);
    const QCommandLineOption misbehaveOption(
        u"misbehave"_s,
        u"Answers requests for PATH as a misbehaving server does, e.g. /mpad35.zip=Slow or /mpad35.zip=NotFound; "
        u"repeatable. Kinds: the names of MirrorServer::Misbehaviour."_s,
        u"PATH=KIND"_s);
    parser.addOption(rootOption);
    parser.addOption(portOption);
    parser.addOption(misbehaveOption);
    parser.process(app);

    const QString root = parser.value(rootOption);
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        std::fprintf(stderr, "TrivetMirror: --root must name an existing folder\n");
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "TrivetMirror: --port must be a number from 0 to 65535\n");
        return 2;
    }

    Trivet::MirrorServer server;
    server.setRoot(QFileInfo(root).absoluteFilePath());
    const QMetaEnum kinds = QMetaEnum::fromType<Trivet::MirrorServer::Misbehaviour>();
    for (const QString &rule : parser.values(misbehaveOption)) {
        const qsizetype equals = rule.lastIndexOf(u'=');
        bool known = false;
        const int kind = equals > 0 ? kinds.keyToValue(rule.mid(equals + 1).toLatin1().constData(), &known) : -1;
        if (!known) {
            std::fprintf(stderr,
                         "TrivetMirror: --misbehave wants PATH=KIND with a kind such as Slow or NotFound, "
                         "not '%s'\n",
                         qPrintable(rule));
            return 2;
        }
        server.setMisbehaviour(rule.left(equals), Trivet::MirrorServer::Misbehaviour(kind));
    }
    if (!server.listen(quint16(port))) {
        std::fprintf(stderr, "TrivetMirror: cannot listen: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    // Scripts and benchmarks wait for this line to learn the port.
    const QString banner =
        u"Serving %1 at %2\n"_s.arg(QDir::toNativeSeparators(server.root()), server.url(u"/"_s).toString());
    std::fputs(banner.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return QCoreApplication::exec();
}
