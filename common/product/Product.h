#pragma once

#include <QString>
#include <QStringView>

// What the product's programs are called and where its maker is: the one place for the names the launcher
// and the updater use to find each other, and for the maker's addresses.
namespace Trivet::Product {

// The two programs, side by side in the application folder. The launcher's name also names its lock, which
// the updater waits on.
inline constexpr QStringView LauncherName = u"TrivetDesk";
inline constexpr QStringView UpdaterName = u"Updater";

// A program's file name on this platform: "TrivetDesk.exe" on Windows, "TrivetDesk" elsewhere.
inline QString programFile(QStringView name)
{
#ifdef Q_OS_WIN
    return name.toString() + u".exe";
#else
    return name.toString();
#endif
}

// The maker's addresses. The settings file names where packages come from; these are built in.
inline constexpr QStringView ProductPage = u"http://www.quillory.example/TrivetExec.htm";
inline constexpr QStringView WebSite = u"http://www.quillory.example/";
inline constexpr QStringView MailAddress = u"mailto:vidi@quillory.example";
// The update package's file name in the application folder while the updater installs it.
inline constexpr QStringView UpdatePackageFile = u"TrivetUpdate.zip";
// The update package the updater fetches unless the settings' [VersionCheck] updaterURL names another.
inline constexpr QStringView UpdatePackage = u"http://packages.quillory.example/TrivetUpdate/TrivetUpdate.zip";

} // namespace Trivet::Product
