#include "common/platform/extract/MemberGuard.h"

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

namespace {

// Bounds the work of following link chains, including cycles.
constexpr int MaxLinkHops = 64;

} // namespace

MemberGuard::MemberGuard(fs::path root)
    : m_root(std::move(root))
{
}

RelativePath::Refusal MemberGuard::components(NativeView name, Components &components)
{
    components.clear();
    return RelativePath::split(name, {}, RelativePath::ParentSteps::Refuse,
                               [&components](NativeView part) { components.emplace_back(part); });
}

bool MemberGuard::passesThroughLink(const Components &components) const
{
    for (std::size_t count = 1; count < components.size(); ++count) {
        if (isSymlink(joined(m_root, components, count))) {
            return true;
        }
    }
    return false;
}

bool MemberGuard::linkStaysInside(Components linkFolder, NativeView target) const
{
    int hopsLeft = MaxLinkHops;
    return resolvesInside(linkFolder, target, hopsLeft);
}

std::optional<fs::path> MemberGuard::hardlinkTarget(NativeView name) const
{
    Components linked;
    if (components(name, linked) != RelativePath::Refusal::None || passesThroughLink(linked)) {
        return std::nullopt;
    }
    const fs::path target = joined(m_root, linked);
    if (isSymlink(target)) {
        return std::nullopt;
    }
    return target;
}

// Follows target from the folder `at` the way the file system will, expanding links that already exist
// below the root, and leaves `at` at the place reached. Returns false when any step leaves the root. A purely
// textual check is not enough: "d/s/.." stays inside on paper but leaves when d/s is a link to "..".
bool MemberGuard::resolvesInside(Components &at, NativeView target, int &hopsLeft) const
{
    Components steps;
    const RelativePath::Refusal refusal = RelativePath::split(target, {}, RelativePath::ParentSteps::Keep,
                                                              [&steps](NativeView part) { steps.emplace_back(part); });
    // A target with no steps at all (".") is the link's own folder.
    if (refusal != RelativePath::Refusal::None && refusal != RelativePath::Refusal::Empty) {
        return false;
    }
    for (const NativeString &step : steps) {
        if (step.size() == 2 && step[0] == '.' && step[1] == '.') {
            if (at.empty()) {
                return false;
            }
            at.pop_back();
            continue;
        }
        at.push_back(step);
        const fs::path here = joined(m_root, at);
        if (!isSymlink(here)) {
            continue;
        }
        if (--hopsLeft < 0) {
            return false;
        }
        std::error_code error;
        const fs::path next = readLink(here, error);
        if (error) {
            return false;
        }
        at.pop_back();
        if (!resolvesInside(at, next.native(), hopsLeft)) {
            return false;
        }
    }
    return true;
}

ExtractResult MemberGuard::checkUnpackedLinks() const
{
    ExtractResult result;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!isSymlink(it->path())) {
            continue;
        }
        const fs::path relative = it->path().lexically_relative(m_root);
        Components folder;
        for (const fs::path &part : relative.parent_path()) {
            folder.push_back(part.native());
        }
        const fs::path target = readLink(it->path(), error);
        if (error || !linkStaysInside(folder, target.native())) {
            result.refused.append(shown(NativeView(relative.generic_string<NativeChar>())));
            error.clear();
        }
    }
    if (error) {
        result.status = ExtractStatus::WriteFailed;
        result.message = u"Cannot check the unpacked files: "_s + systemError(error);
    } else if (!result.refused.isEmpty()) {
        result.status = ExtractStatus::UnsafeMember;
        result.message = u"The archive has links that lead outside the folder, so nothing was installed: "_s +
                         result.refused.join(u", "_s);
    } else {
        result.status = ExtractStatus::Success;
    }
    return result;
}

} // namespace Trivet::Extract
