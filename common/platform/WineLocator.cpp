#include "common/platform/WineLocator.h"

#include "common/platform/RegularFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(lcWine, "trivet.platform.wine")
}

namespace Trivet {

WineLocator::WineLocator(std::function<QString()> configured, QString folder)
    : m_configured(std::move(configured))
    , m_folder(std::move(folder))
{
}

QString WineLocator::wine() const
{
    if (!m_wine) {
        m_wine = find();
        qCInfo(lcWine) << "Windows programs start through" << (m_wine->isEmpty() ? u"nothing"_s : *m_wine);
    }
    return *m_wine;
}

QString WineLocator::find() const
{
    const QString configured = m_configured ? m_configured().trimmed() : QString();
    if (!configured.isEmpty()) {
        if (QDir::isRelativePath(configured) && !m_folder.isEmpty()) {
            const QFileInfo below(QDir(m_folder).filePath(configured));
            if (isRegularFile(below.filePath()) && below.isExecutable()) {
                return below.absoluteFilePath();
            }
        }
        // An absolute path is taken as it is; a bare name ("wine64") is looked for on the search path.
        const QString found = QStandardPaths::findExecutable(configured);
        if (!found.isEmpty()) {
            return found;
        }
        qCInfo(lcWine) << "the Wine the settings name," << configured << "cannot be run; looking for wine instead";
    }
    return QStandardPaths::findExecutable(u"wine"_s);
}

} // namespace Trivet
