#pragma once

#include <QString>
#include <optional>

namespace Trivet::Extract {

// libarchive reads some 7z method chains that it then cannot unpack, and reports that as damage: PPMd
// followed by the x86 BCJ filter (the chain 7-Zip uses for programs when told to compress with PPMd) comes
// out short whenever PPMd has output left after its last input byte. This reads the archive's own header,
// compressed or not, far enough to see the coders of every folder, so such a failure can be told apart from
// a damaged archive.
//
// The chain that build cannot unpack, named for the user ("PPMd with the x86 BCJ filter"); nothing when the
// file is no 7z, uses no such chain, or its header cannot be read.
std::optional<QString> unsupportedSevenZipMethod(const QString &archivePath);

} // namespace Trivet::Extract
