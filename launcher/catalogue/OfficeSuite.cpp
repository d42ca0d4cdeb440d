#include "launcher/catalogue/OfficeSuite.h"

#include "common/download/DownloadRequest.h"
#include "common/platform/Extractor.h"
#include "common/platform/FileExists.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/WorkFolder.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/CatalogueView.h"
#include "launcher/catalogue/OfficeSuiteView.h"

#include <QFile>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

Q_LOGGING_CATEGORY(lcSuite, "trivet.officesuite")

const QString Section = u"OpenOffice.orgPortable"_s;
const QString PackageTail = u"\\OpenOfficePortable.zip"_s;
const QString Command = u"\\unzip.exe -o OpenOfficePortable.zip"_s;
// The download's own identifier; no catalogue entry takes it.
const QString SuiteId = u"OOP"_s;
// Message boxes carry the program's name as their title.
const QString programTitle = Trivet::Product::LauncherName.toString();
constexpr int OfficeTab = 1;

} // namespace

OfficeSuiteController::OfficeSuiteController(const AppFolder &folder, const IniFile &settings,
                                             const LanguageTexts &texts, std::shared_ptr<ProcessStarter> processes,
                                             LaunchController &launcher, CatalogueView &view,
                                             OfficeSuiteView &suiteView, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_processes(std::move(processes))
    , m_launcher(launcher)
    , m_view(view)
    , m_suiteView(suiteView)
{
}

QString OfficeSuiteController::componentPath(int index) const
{
    const QString folder = m_settings.value(Section, u"OOP-Dir");
    const QString program = m_settings.value(Section, u"OOP-App%1"_s.arg(index + 1));
    return m_folder.path(QString(u"\\"_s + folder + u"\\"_s + program));
}

QString OfficeSuiteController::package() const
{
    return m_folder.path(PackageTail);
}

QString OfficeSuiteController::packageUrl() const
{
    return m_settings.value(Section, u"URL-OOP");
}

void OfficeSuiteController::open()
{
    if (fileExists(componentPath(0))) {
        m_suiteView.showSuiteWindow();
        return;
    }
    if (m_launcher.isOffline()) {
        m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, m_texts.text(u"OOPMsg1"));
        return;
    }
    if (m_fetching ||
        !m_suiteView.confirmSuiteDownload(u"OpenOffice.org Portable download Info"_s, m_texts.text(u"OOPMsg2"))) {
        return;
    }
    DownloadRequest request{packageUrl(), package(), SuiteId};
    request.sha256 = m_settings.value(Catalogue::ChecksumsSection, QFileInfo(package()).fileName());
    if (!m_launcher.fetchPackage(request, this, [this](const DownloadResult &result) { onFetched(result); })) {
        return;
    }
    m_fetching = true;
    const QString line = m_texts.text(u"lblOOPInfo");
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        m_view.showInfo(tab, line);
    }
}

void OfficeSuiteController::startComponent(int index)
{
    const QString path = componentPath(index);
    const StartResult started = m_processes ? m_processes->start({path, {}, {}, WindowStyle::Normal})
                                            : StartResult::failure(StartResult::Status::Failed, u"no starter"_s);
    if (started.needsWine()) {
        qCInfo(lcSuite) << started.message;
        m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, m_texts.text(u"errMsgWine"));
    } else if (!started.ok()) {
        // The window has no error path of its own; the log says what happened.
        qCWarning(lcSuite) << "could not start" << path << started.message;
    }
}

void OfficeSuiteController::onFetched(const DownloadResult &result)
{
    m_fetching = false;
    if (!result.ok()) {
        fail(failureReason(result), result.message);
        return;
    }
    m_view.showInfo(OfficeTab, m_texts.text(u"lbExtract"));
    // Interrupted from here on, the next start removes the package.
    if (const FileResult recorded = recordInFlight(m_folder.root(), package()); !recorded.ok()) {
        qCWarning(lcSuite) << recorded.message;
    }
    auto *extractor = new Extractor(this);
    connect(extractor, &Extractor::finished, this, [this, extractor](const ExtractResult &extracted) {
        extractor->deleteLater();
        afterExtraction(extracted);
    });
    extractor->run(m_folder.root(), Command);
}

void OfficeSuiteController::afterExtraction(const ExtractResult &result)
{
    releaseInFlight(m_folder.root(), package());
    if (!fileExists(componentPath(0))) {
        fail(result.ok() ? FailureReason::NotAProgram : failureReason(result), result.message);
        return;
    }
    if (!QFile::remove(package())) {
        qCWarning(lcSuite) << "cannot remove" << package();
    }
    m_suiteView.showSuiteWindow();
    emit installationFinished(true);
}

void OfficeSuiteController::fail(FailureReason reason, const QString &detail)
{
    qCInfo(lcSuite) << "installation failed:" << detail;
    // A failed package is no use, and on a stick it is in the way.
    QFile::remove(package());
    m_view.showDownloadLine(0, QString());
    m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, failureText(m_texts, reason));
    emit installationFinished(false);
}

} // namespace Trivet
