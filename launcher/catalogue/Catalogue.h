#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

namespace Trivet {

class AppFolder;
class IniFile;

// How a downloaded package turns into an installed program.
enum class InstallKind {
    Direct,         // the package is the program itself
    Unzip,          // extracted with the unzip command tail
    SevenZip,       // extracted with the 7za command tail
    SelfExtracting, // the package is started and unpacks itself; nothing is looked for afterwards
    AntiVir,        // unzipped, then the AntiVir files are moved into Basic and the definitions fetched
};

// The click and the installation read the settings keys of the configurable entries with different
// spellings ("AppOFF-4exe" and "appOFF-4exe"). Keys are matched without regard to case, so both phases
// resolve to the same paths; the spellings are kept so each caller reads the key it always read.
enum class Phase { Launch, Install };

// One built-in application. Every path is a tail relative to the application folder that begins with a
// backslash; resolve it with Catalogue::resolvePaths, never by joining the tails yourself, because six
// entries take their executable from the settings file.
struct CatalogueEntry
{
    QStringView id = {};   // "OFF-6"; compared exactly and with letter case
    int tab = 0;           // 0 antivirus, 1 office, 2 system, 3 nice to have
    int slot = 0;          // 0-based icon index in the tab
    QStringView name = {}; // the application's own name, for logs and the demo mirror

    QStringView executable = {}; // looked for to decide between starting and fetching; empty when configurable
    QStringView startPath = {};  // the file started; differs from executable only where a loader is started
    QStringView package = {};    // where the download is saved; empty: the package is the executable itself

    InstallKind kind = InstallKind::Direct;
    QStringView command = {}; // extraction command tail, exactly as the extractor receives it; empty: none

    QStringView hoverKey = {}; // language keys, spelled as the language files carry them
    QStringView key1 = {};
    QStringView key2 = {};
    QStringView extractNotice = {}; // fixed text shown while extracting; empty: the "lbExtract" text

    QStringView captionKey = {}; // "appOFF-6", section Applications
    QStringView urlKey = {};     // "URLOFF-6", section Applications

    // Settings keys of the configurable entries (section Applications). An entry with an exe key takes its
    // executable from the settings file: "\" dir "\" exe, or "\" exe when it has no dir key.
    QStringView launchDirKey = {};
    QStringView launchExeKey = {};
    QStringView installDirKey = {};
    QStringView installExeKey = {};

    bool isConfigurable() const { return !launchExeKey.isEmpty(); }
};

// Tails of one entry ("\FoxitReader\FoxitReader.exe") after the settings values were put in.
struct EntryTails
{
    QString executable;
    QString startPath;
    QString package;
    bool configured = true; // as in EntryPaths
};

// Full paths of one entry at the time of the call.
struct EntryPaths
{
    QString executable;
    QString startPath;
    QString package;
    // False when a configurable entry lacks its settings values, or they point outside the application
    // folder. executable and startPath are then empty, so the program is never found and never started.
    // package is empty too when it would have been made from those values: the caller must then refuse to
    // download, rather than save the package as the application folder itself.
    bool configured = true;
};

// One tab of the catalogue: the spelling of its controls and keys, and how its icons are laid out.
struct CatalogueTab
{
    QStringView prefix = {};       // caption labels "LbOFF1" …, settings keys "appOFF-1" …
    QStringView infoLine = {};     // object name of the information line, "LbOffInfo"
    QStringView downloadLine = {}; // object name of the download line, "LbOffDownload"
    QStringView welcomeKey = {};   // language key of the information line while on-line
    QStringView titleKey = {};     // language key of the tab's title and File-menu item, "stab2"
    QStringView initialTitle = {}; // the title before the language file is read
    int columns = 0;               // icons per row
};

namespace Catalogue {

inline constexpr int EntryCount = 36;
inline constexpr int TabCount = 4;

inline constexpr QStringView ApplicationsSection = u"Applications";
inline constexpr QStringView DefinitionUrlKey = u"URLUpd";
// Optional: the SHA-256 of a package in hexadecimal, keyed by its file name ("mpad35.zip").
inline constexpr QStringView ChecksumsSection = u"Checksums";
// Optional, for systems other than Windows: the Wine that starts Windows programs (else "wine" on the search
// path), and NativePackages=1 where the packages hold native programs under Windows names (the demo mirror),
// so no icon warns that its program needs Wine.
inline constexpr QStringView PlatformSection = u"Platform";
inline constexpr QStringView WineKey = u"Wine";
inline constexpr QStringView NativePackagesKey = u"NativePackages";
// Optional: the size of a package in bytes, keyed by its file name, for telling what a click would download.
inline constexpr QStringView SizesSection = u"Sizes";

// The AntiVir installation: the package unpacks into AntiVirFolder, the program lives in AntiVirBasicFolder.
inline constexpr QStringView AntiVirPackage = u"\\AntivirPE.zip";
inline constexpr QStringView AntiVirFolder = u"\\AntivirPE";
inline constexpr QStringView AntiVirBasicFolder = u"\\AntivirPE\\Basic";
inline constexpr QStringView AntiVirControlCentre = u"\\AntivirPE\\Basic\\avcenter.exe";
inline constexpr QStringView AntiVirDefinitionBundle = u"\\ivdf_fusebundle_nt_en.zip";

// Files moved from AntiVirFolder into AntiVirBasicFolder after unpacking, in the order they are copied.
const std::array<QStringView, 33> &antiVirFiles();

// The four catalogue tabs, in window order.
const std::array<CatalogueTab, TabCount> &tabs();

// Names of the files the launcher downloads or writes directly in the application folder (packages,
// definitions, settings), for finding what an interrupted write left beside them.
QStringList rootFileNames();

// All entries, ordered by tab and slot.
const std::array<CatalogueEntry, EntryCount> &entries();

// Number of icons of a catalogue tab (6 or 10); 0 for any other tab.
int slotCount(int tab);

// nullptr when tab or slot is outside the catalogue.
const CatalogueEntry *entryAt(int tab, int slot);

// Exact, case-sensitive match; nullptr for anything else, including the non-catalogue download
// identifiers "A", "0" and "OOP".
const CatalogueEntry *entryById(QStringView id);

// The tail of a program that settings values name: "\" dir "\" exe, or "\" exe for a program without a folder
// value. Empty when a value is empty, would leave the application folder or name it (a ".." component, an
// absolute or drive path), or exe names a folder: every settings value that becomes a program's path is checked
// here.
QString programTail(const QString &exe);
QString programTail(const QString &dir, const QString &exe);

// The entry's tails, reading the configurable entries' values from settings now. A value is refused
// (configured = false) when it is empty or would leave the application folder or name it (a ".." component, an absolute
// or drive path).
EntryTails resolveTails(const CatalogueEntry &entry, const IniFile &settings, Phase phase);

// Resolves the entry's paths below folder, reading the settings now for the configurable entries. Paths go through
// AppFolder::path, so an existing file is found whatever the letter case of the tail.
EntryPaths resolvePaths(const CatalogueEntry &entry, const AppFolder &folder, const IniFile &settings, Phase phase);

} // namespace Catalogue
} // namespace Trivet
