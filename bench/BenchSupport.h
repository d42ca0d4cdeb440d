#pragma once

// What the benchmarks share: the figures they print over several runs, the memory of their own process and
// content of seeded random bytes that does not compress away.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace Trivet::Bench {

// The middle value; the mean of the two middle ones for an even count; 0 for none.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "LABEL  median 1.234x  (min 1.100x, max 1.400x)": one figure over the runs and how far it strayed.
inline void printSpread(const char *label, const std::vector<double> &values, const char *unit)
{
    if (values.empty()) {
        std::printf("%-34s no runs\n", label);
        return;
    }
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("%-34s median %.3f%s  (min %.3f%s, max %.3f%s)\n", label, median(values), unit, *low, unit, *high,
                unit);
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"), or -1 where /proc is not available.
inline qint64 statusKiB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    // /proc files report a size of 0, so atEnd() cannot be trusted; readAll() reads until read() says so.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(QByteArray(field + ':'))) {
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// Starts the peak resident size (VmHWM) afresh from the current one, so each run's peak is its own.
inline bool resetPeakResident()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

// Bytes of a xorshift generator: the same for the same seed, and as good as incompressible.
class SeededBytes final
{
public:
    explicit SeededBytes(quint32 seed)
        : m_x(seed == 0 ? 2463534242u : seed)
    {
    }

    QByteArray next(qsizetype size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &c : bytes) {
            m_x ^= m_x << 13;
            m_x ^= m_x >> 17;
            m_x ^= m_x << 5;
            c = char(m_x);
        }
        return bytes;
    }

private:
    quint32 m_x;
};

// Writes size bytes of SeededBytes(seed) to path, a mebibyte at a time.
inline bool writeSeededFile(const QString &path, qint64 size, quint32 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    SeededBytes bytes(seed);
    for (qint64 written = 0; written < size;) {
        const QByteArray block = bytes.next(qsizetype(std::min<qint64>(size - written, 1 << 20)));
        if (file.write(block) != block.size()) {
            return false;
        }
        written += block.size();
    }
    return file.flush();
}

} // namespace Trivet::Bench
