#include "common/platform/extract/MemberWriter.h"

#include "common/platform/extract/DiskMemberWriter.h"

#if defined(Q_OS_LINUX)
#include "common/platform/extract/FolderMemberWriter.h"
#endif

namespace Trivet::Extract {

std::unique_ptr<MemberWriter> MemberWriter::create(const fs::path &root)
{
#if defined(Q_OS_LINUX)
    return FolderMemberWriter::open(root);
#else
    Q_UNUSED(root)
    auto writer = std::make_unique<DiskMemberWriter>();
    return writer->isReady() ? std::move(writer) : nullptr;
#endif
}

} // namespace Trivet::Extract
