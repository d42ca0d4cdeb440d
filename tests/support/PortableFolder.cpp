#include "tests/support/PortableFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet::Test {

QString shippedPortableFolder()
{
    return QStringLiteral(TRIVET_SOURCE_DIR "/portable");
}

PortableFolder::PortableFolder() = default;

QString PortableFolder::path(const QString &relative) const
{
    return QDir(m_dir.path()).filePath(relative);
}

void PortableFolder::copyShippedFiles()
{
    const QDir source(shippedPortableFolder());
    QDirIterator it(source.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString relative = source.relativeFilePath(file);
        if (relative.endsWith(u".txt"_s) || relative.endsWith(u".cmake"_s)) {
            continue;
        }
        const QString target = path(relative);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::remove(target);
        QFile::copy(file, target);
        if (relative == u"Trivet.ini"_s) {
            QFile settings(target);
            if (settings.open(QIODevice::ReadWrite)) {
                const QByteArray local =
                    settings.readAll().replace("http://packages.quillory.example", "http://127.0.0.1:1");
                settings.resize(0);
                settings.write(local);
            }
        }
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
}

void PortableFolder::writeFile(const QString &relative, const QByteArray &content)
{
    const QString target = path(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(content);
    }
}

QByteArray PortableFolder::readFile(const QString &relative) const
{
    QFile file(path(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool PortableFolder::exists(const QString &relative) const
{
    return QFileInfo::exists(path(relative));
}

void PortableFolder::remove(const QString &relative)
{
    QFile::remove(path(relative));
}

} // namespace Trivet::Test
