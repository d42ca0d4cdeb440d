#pragma once

#include "common/platform/AppFolder.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/install/PackageInstaller.h"
#include "launcher/install/ProgramRunner.h"

#include <QFileInfo>
#include <QObject>
#include <memory>

namespace Trivet {

class CatalogueView;
class IniFile;
class LanguageTexts;
class OfficeSuiteView;
class ProcessStarter;

// OpenOffice.org Portable, which has a menu item and a window of its own instead of a catalogue icon. The
// menu item opens the window when the suite is on the drive, and otherwise offers to download it; the
// download is a request of its own on the catalogue's reader, so clicks on icons meanwhile neither lose it
// nor are lost to it, and the installation opens the window.
class OfficeSuiteController final : public QObject
{
    Q_OBJECT

public:
    static constexpr int ComponentCount = 7;

    OfficeSuiteController(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts,
                          std::shared_ptr<ProcessStarter> processes, LaunchController &launcher, CatalogueView &view,
                          OfficeSuiteView &suiteView, QObject *parent = nullptr);

    // The menu item.
    void open();
    // Where the suite's package is fetched from, as the settings say now.
    QString packageUrl() const;
    // An icon of the suite's window, 0 to 6.
    void startComponent(int index);

    // The path of component index (0 to 6), read afresh from the settings; empty when the settings' folder or
    // program name would lead outside the application folder.
    QString componentPath(int index) const;
    bool isInstalled() const { return QFileInfo::exists(componentPath(0)); }
    // Whether the suite's package is being unpacked; its download is the LaunchController's.
    bool isUnpacking() const;

signals:
    // The suite's installation ended: its window was opened (ok) or the failure was shown.
    void installationFinished(bool ok);

private:
    void onInstalled(const Trivet::InstallResult &result);
    QString package() const;

    AppFolder m_folder;
    const IniFile &m_settings;
    const LanguageTexts &m_texts;
    LaunchController &m_launcher;
    CatalogueView &m_view;
    OfficeSuiteView &m_suiteView;
    ProgramRunner m_runner;
    PackageInstaller *m_installer;
};

} // namespace Trivet
