#pragma once

#include "common/platform/RelativePath.h"
#include "common/platform/extract/NativePaths.h"

#include <optional>

namespace Trivet::Extract {

// Decides whether archive members may be written below the staging root: their names by RelativePath's rules,
// and their links by where they lead once followed through the links that already exist below the root.
class MemberGuard final
{
public:
    explicit MemberGuard(fs::path root);

    // Splits a member name into its components below the root. Refusal::Empty means the root itself ("./").
    static RelativePath::Refusal components(NativeView name, Components &components);

    // True when a folder on the way to the member is a link; writing there would land wherever the link points.
    bool passesThroughLink(const Components &components) const;

    // Whether a symbolic link in linkFolder pointing at target leads to a place below the root.
    bool linkStaysInside(Components linkFolder, NativeView target) const;

    // Where a hard link to the member named name points, or nothing when that is not an ordinary file that was
    // already unpacked below the root.
    std::optional<fs::path> hardlinkTarget(NativeView name) const;

    // Links are checked once more when everything is unpacked: a link that looked harmless when it was written
    // can lead outside through a link that a later member created.
    ExtractResult checkUnpackedLinks() const;

private:
    bool resolvesInside(Components &at, NativeView target, int &hopsLeft) const;

    fs::path m_root;
};

} // namespace Trivet::Extract
