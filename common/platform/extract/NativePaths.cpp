#include "common/platform/extract/NativePaths.h"

#include <QDir>
#include <QFileInfo>
#include <type_traits>

namespace Trivet::Extract {

fs::path toPath(const QString &path)
{
    return QFileInfo(path).filesystemFilePath();
}

namespace {

template <typename C> QString fromNative(std::basic_string_view<C> name)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return QString::fromWCharArray(name.data(), qsizetype(name.size()));
    } else {
        return QString::fromUtf8(name.data(), qsizetype(name.size()));
    }
}

} // namespace

QString shown(NativeView name)
{
    return fromNative(name);
}

QString shown(const fs::path &path)
{
    return QDir::toNativeSeparators(shown(NativeView(path.native())));
}

QString systemError(const std::error_code &error)
{
    return QString::fromLocal8Bit(error.message());
}

ExtractStatus statusOfWriteError(int code)
{
    // A file too large counts as no space: larger than the volume takes (FAT's 4 GiB), or over the process's
    // file size limit.
    const bool full = code == int(std::errc::no_space_on_device) || code == int(std::errc::file_too_large);
    return full ? ExtractStatus::NoSpace : ExtractStatus::WriteFailed;
}

fs::path joined(const fs::path &root, const Components &components, std::size_t count)
{
    fs::path path = root;
    for (std::size_t i = 0; i < count && i < components.size(); ++i) {
        path /= components[i];
    }
    return path;
}

fs::path joined(const fs::path &root, const Components &components)
{
    return joined(root, components, components.size());
}

bool isSymlink(const fs::path &path)
{
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(path, error));
}

} // namespace Trivet::Extract
