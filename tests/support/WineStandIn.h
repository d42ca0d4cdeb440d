#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace Trivet::Test {

// A stand-in for Wine: a script named "wine" in a folder of its own that writes the folder it was started
// in and its arguments, one a line, to a record file beside it. With onPath, the folder leads the search
// path for the object's life; without, the search path holds only an empty folder, so no Wine is found.
class WineStandIn final
{
public:
    explicit WineStandIn(bool onPath = true)
        : m_oldPath(qgetenv("PATH"))
    {
        const QString script = m_dir.filePath(QStringLiteral("bin/wine"));
        QDir().mkpath(m_dir.filePath(QStringLiteral("bin")));
        QDir().mkpath(m_dir.filePath(QStringLiteral("empty")));
        QFile file(script);
        if (file.open(QIODevice::WriteOnly)) {
            // Shell built-ins only: the search path may hold nothing else.
            file.write("#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$@\" > '" + recordPath().toUtf8() + "'\n");
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", onPath ? QFile::encodeName(m_dir.filePath(QStringLiteral("bin"))) + ':' + m_oldPath
                               : QFile::encodeName(m_dir.filePath(QStringLiteral("empty"))));
    }
    ~WineStandIn() { qputenv("PATH", m_oldPath); }
    WineStandIn(const WineStandIn &) = delete;
    WineStandIn &operator=(const WineStandIn &) = delete;

    QString program() const { return m_dir.filePath(QStringLiteral("bin/wine")); }
    QString recordPath() const { return m_dir.filePath(QStringLiteral("wine.record")); }
    // The working folder, then the arguments; empty while the stand-in has not run.
    QStringList record() const
    {
        QFile file(recordPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

// The first bytes of a Windows program.
inline const QByteArray windowsProgram = QByteArray("MZ\x90\x00\x03\x00\x00\x00", 8) + QByteArray(56, '\0');

} // namespace Trivet::Test
