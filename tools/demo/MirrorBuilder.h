#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Trivet::Demo {

struct MirrorResult
{
    bool ok = false;
    QString message;
    QStringList written; // paths relative to the mirror folder, in the order they were written
};

// Writes the packages a launcher fetches, into a folder that a plain HTTP server can serve as the maker's
// site. Every program inside is a copy of one stand-in program; each package is laid out the way its
// extraction command unpacks it, so the launcher finds the program where it looks after installing.
//
// It also names every package's SHA-256 in the settings file's [Checksums] section, so the launcher refuses a
// package that is not the one built here, and marks the packages as native in [Platform].
//
// Files go where the settings file's addresses point (the path of each URL below the mirror folder), so
// the same settings file with its host replaced serves the launcher from the mirror.
class MirrorBuilder final
{
public:
    MirrorBuilder(const QString &standInPath, const QString &settingsFile, const QString &mirrorFolder);

    // The version offered by the mirror's version file.
    void setOfferedVersion(const QString &version) { m_offeredVersion = version; }
    // The launcher the mirror's update package carries, with a ver.dat that names the offered version. Without
    // one the mirror has no update package.
    void setLauncher(const QString &launcherPath) { m_launcherPath = launcherPath; }

    // Signs the program list and the update package with privateKey, so a launcher that trusts its public half
    // takes them: the list carries serial as [List] Serial and is signed with it, the update package with the
    // offered version. Each signature lies beside its package, at the package's address plus ".sig". Without a
    // key nothing is signed.
    void setSigningKey(const QByteArray &privateKey, const QString &serial)
    {
        m_privateKey = privateKey;
        m_serial = serial;
    }

    MirrorResult build() const;

private:
    QString m_standInPath;
    QString m_settingsFile;
    QString m_mirrorFolder;
    QString m_offeredVersion = QStringLiteral("1.2.9");
    QString m_launcherPath;
    QByteArray m_privateKey;
    QString m_serial;
};

} // namespace Trivet::Demo
