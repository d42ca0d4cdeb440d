#include "common/product/Version.h"

#include "common/platform/RegularFile.h"
#include "common/settings/TextCodec.h"

#include <algorithm>

namespace Trivet {
namespace {

// A version is a handful of characters on the first line; a longer file is not read further.
constexpr qint64 MaxVersionFileRead = 4096;
// Longer than any version a maker writes: a server's error page or a binary answer, not a version.
constexpr qsizetype MaxVersionLength = 64;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The run of digits starting at i, without its leading zeros; i moves past it.
QStringView digitRun(QStringView text, qsizetype &i)
{
    const qsizetype start = i;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    QStringView run = text.sliced(start, i - start);
    while (run.size() > 1 && run.front() == u'0') {
        run = run.sliced(1);
    }
    return run;
}

// A web page ("<!DOCTYPE html>") would compare newer than every version and offer an update that is not
// there; a version file from the maker holds printable text only.
QString asVersion(QStringView item)
{
    const bool control =
        std::any_of(item.begin(), item.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
    return item.startsWith(u'<') || control || item.size() > MaxVersionLength ? QString() : item.toString();
}

} // namespace

QString firstVersionItem(QByteArrayView content)
{
    if (content.startsWith("\xEF\xBB\xBF")) {
        content = content.sliced(3);
    }
    const QString text = decodeText(content, TextEncoding::Cp1252);
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    if (i < text.size() && text[i] == u'"') {
        const qsizetype close = text.indexOf(u'"', i + 1);
        return asVersion(QStringView(text).sliced(i + 1, (close < 0 ? text.size() : close) - i - 1));
    }
    qsizetype end = i;
    while (end < text.size() && text[end] != u',' && text[end] != u'\r' && text[end] != u'\n') {
        ++end;
    }
    while (end > i && isBlank(text[end - 1])) {
        --end;
    }
    return asVersion(QStringView(text).sliced(i, end - i));
}

QString readVersionFile(const QString &path)
{
    const FileRead read = readRegularFile(path, MaxVersionFileRead, Beyond::Cut);
    return read.ok() ? firstVersionItem(read.bytes) : QString();
}

int compareVersions(QStringView a, QStringView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compared as numbers of any length: the longer run without leading zeros is the larger.
            const QStringView x = digitRun(a, i);
            const QStringView y = digitRun(b, j);
            if (x.size() != y.size()) {
                return x.size() < y.size() ? -1 : 1;
            }
            if (const int c = x.compare(y); c != 0) {
                return c < 0 ? -1 : 1;
            }
            continue;
        }
        if (a[i] != b[j]) {
            return a[i].unicode() < b[j].unicode() ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
}

} // namespace Trivet
