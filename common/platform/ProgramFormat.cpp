#include "common/platform/ProgramFormat.h"

#include "common/platform/RegularFile.h"

#include <QDir>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

// Enough for an ELF header, and for the DOS stub and PE header of any program a linker writes.
constexpr qint64 HeaderBytes = 4096;

#if defined(__x86_64__) || defined(_M_X64)
constexpr quint16 ElfMachine = 62; // EM_X86_64
constexpr quint16 PeMachine = 0x8664;
#elif defined(__aarch64__) || defined(_M_ARM64)
constexpr quint16 ElfMachine = 183; // EM_AARCH64
constexpr quint16 PeMachine = 0xAA64;
#elif defined(__i386__) || defined(_M_IX86)
constexpr quint16 ElfMachine = 3; // EM_386
constexpr quint16 PeMachine = 0x14C;
#elif defined(__arm__) || defined(_M_ARM)
constexpr quint16 ElfMachine = 40; // EM_ARM
constexpr quint16 PeMachine = 0x1C4;
#else
#error "unknown processor: name its ELF and PE machine numbers"
#endif

constexpr char ElfClass = sizeof(void *) == 8 ? 2 : 1; // ELFCLASS64 : ELFCLASS32

QString whatItIs(const QByteArray &head)
{
    const QByteArray start = head.left(256).trimmed().toLower();
    if (start.startsWith("#!")) {
        return u"a script"_s;
    }
    if (start.startsWith("<")) {
        return u"a web page or other text"_s;
    }
    if (start.startsWith("pk")) {
        return u"an archive"_s;
    }
    return u"not a program"_s;
}

FileResult refused(const QString &path, const QString &what)
{
    return FileResult::failure(FileResult::Status::Failed,
                               u"%1 is not a program for this system: %2."_s.arg(QDir::toNativeSeparators(path), what));
}

quint16 word(const QByteArray &bytes, qsizetype at, bool bigEndian)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData() + at);
    return bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
}

} // namespace

FileResult checkProgramFormat(const QString &path)
{
    const FileRead read = readRegularFile(path, HeaderBytes, Beyond::Cut);
    if (!read.ok()) {
        return FileResult::failure(read.status == FileRead::Status::NotFound ? FileResult::Status::NotFound
                                                                             : FileResult::Status::Failed,
                                   read.message);
    }
    const QByteArray &head = read.bytes;
#if defined(Q_OS_WIN)
    if (head.size() < 0x40 || !head.startsWith("MZ")) {
        return refused(path, whatItIs(head));
    }
    const qsizetype pe = qFromLittleEndian<quint32>(head.constData() + 0x3C);
    if (pe < 0x40 || pe + 6 > head.size() || head.mid(pe, 4) != QByteArray("PE\0\0", 4)) {
        return refused(path, u"a DOS program"_s);
    }
    if (word(head, pe + 4, false) != PeMachine) {
        return refused(path, u"a program for another processor"_s);
    }
#else
    if (head.size() < 20 || !head.startsWith("\x7f"
                                             "ELF")) {
        return refused(path, whatItIs(head));
    }
    if (head.at(4) != ElfClass) {
        return refused(path, ElfClass == 2 ? u"a 32-bit program"_s : u"a 64-bit program"_s);
    }
    const bool bigEndian = head.at(5) == 2;
    if (word(head, 18, bigEndian) != ElfMachine) {
        return refused(path, u"a program for another processor"_s);
    }
#endif
    return FileResult::success();
}

} // namespace Trivet
