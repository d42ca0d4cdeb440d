#include "launcher/catalogue/OfficeSuite.h"

#include "common/download/DownloadRequest.h"
#include "common/platform/FileExists.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/CatalogueView.h"
#include "launcher/catalogue/OfficeSuiteView.h"

#include <functional>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

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
    , m_launcher(launcher)
    , m_view(view)
    , m_suiteView(suiteView)
    , m_runner(std::move(processes), texts,
               [&view](const QString &title, const QString &text) {
                   view.showMessage(CatalogueView::MessageKind::Warning, title, text);
               })
    , m_installer(
          new PackageInstaller(folder, std::bind_front(&LaunchController::fetchPackage, &launcher), m_runner, this))
{
    connect(m_installer, &PackageInstaller::unpacking, this,
            [this] { m_launcher.lines().showInfo(OfficeTab, Phrase::key(u"lbExtract").about(SuiteId)); });
    connect(m_installer, &PackageInstaller::finished, this, &OfficeSuiteController::onInstalled);
}

QString OfficeSuiteController::componentPath(int index) const
{
    // A downloaded Trivet.ini can set these, so they are checked like every other settings value.
    const QString tail = Catalogue::programTail(m_settings.value(Section, u"OOP-Dir"),
                                                m_settings.value(Section, u"OOP-App%1"_s.arg(index + 1)));
    return tail.isEmpty() ? QString() : m_folder.path(tail);
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
    // Only a read on its way holds a second click back, and the catalogue's reader knows of it.
    if (m_launcher.isBusy(SuiteId) ||
        !m_suiteView.confirmSuiteDownload(u"OpenOffice.org Portable download Info"_s, m_texts.text(u"OOPMsg2"))) {
        return;
    }
    PackageRequest request;
    request.id = SuiteId;
    request.url = packageUrl();
    request.package = package();
    request.kind = InstallKind::Unzip;
    request.sha256 = m_settings.value(Catalogue::ChecksumsSection, QFileInfo(package()).fileName());
    request.command = Command;
    // The suite opens in its own window rather than starting a program.
    request.paths = [this] { return EntryPaths{componentPath(0), {}, package(), true}; };
    if (!m_installer->install(request)) {
        return;
    }
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        m_launcher.lines().showInfo(tab, Phrase::key(u"lblOOPInfo").about(SuiteId));
    }
}

bool OfficeSuiteController::isUnpacking() const
{
    return m_installer->isUnpackingAny();
}

void OfficeSuiteController::startComponent(int index)
{
    // The window has no error path of its own; the log says what happened.
    static_cast<void>(m_runner.start(componentPath(index)));
}

void OfficeSuiteController::onInstalled(const InstallResult &result)
{
    StatusLines &lines = m_launcher.lines();
    if (result.status == InstallStatus::Cancelled) {
        // The lines said so when the download was given up; there is nothing to tell beyond that.
        emit installationFinished(false);
        return;
    }
    if (!result.ok()) {
        lines.showDownloadLine(0, Phrase());
        lines.settle(SuiteId, Phrase::key(u"lbInstallFailed"), std::nullopt);
        m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, failureText(m_texts, result.reason));
        emit installationFinished(false);
        return;
    }
    lines.settle(SuiteId, Phrase::key(u"lbReady", {u"OpenOffice.org Portable"_s}), std::nullopt);
    m_suiteView.showSuiteWindow();
    emit installationFinished(true);
}

} // namespace Trivet
