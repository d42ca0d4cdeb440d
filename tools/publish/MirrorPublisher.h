#pragma once

#include "common/platform/FileResult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Trivet::Tools {

// Lays out a signed package mirror for any static web server, flat in one folder:
//
//     <every package>             copied from the packages folder
//     Trivet.zip, Trivet.zip.sig  the program list (Trivet.ini) and its signature, with the serial as sequence
//     TrivetUpdate.zip.sig        when the packages hold TrivetUpdate.zip: signed with the offered version
//     update.dat                  the offered version, unsigned: it only decides whether to ask
//
// The list is the template with every address whose file name is a published package (or Trivet.zip,
// update.dat) pointed at the base address, [List] Serial, and [Checksums] and [Sizes] of every package.
// Everything is made in a folder beside the output first and moved in only when all of it was made, so a
// bad input or a failure while making it leaves the output folder as it was; the program list goes in after the
// packages it vouches for, and the version file last.
class MirrorPublisher final
{
public:
    struct Options
    {
        QString packagesFolder;
        QString templateFile;
        QString baseUrl;
        QByteArray privateKey;
        QString serial;
        QString version; // empty: no update is offered
        QString outFolder;
    };

    struct Outcome
    {
        FileResult result;
        QStringList written;  // file names in the output folder, in the order they were moved in
        QStringList warnings; // addresses the list keeps as they were
    };

    explicit MirrorPublisher(Options options);

    Outcome publish() const;

    static constexpr QStringView ListPackage = u"Trivet.zip";
    static constexpr QStringView UpdatePackage = u"TrivetUpdate.zip";
    static constexpr QStringView VersionFile = u"update.dat";

private:
    Options m_options;
};

} // namespace Trivet::Tools
