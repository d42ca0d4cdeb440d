#include "launcher/catalogue/Catalogue.h"

#include "common/platform/AppFolder.h"
#include "common/platform/RelativePath.h"
#include "common/settings/IniFile.h"

#include <QLoggingCategory>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

Q_LOGGING_CATEGORY(lcCatalogue, "trivet.catalogue")

// Ordered by tab and slot, so entryAt can index it. The odd rows (spellings of keys, the shared erunt
// package, the loader started for Opera USB, the settings keys read in two spellings) are data here,
// so the code that reads the table has no special cases.
constexpr std::array<CatalogueEntry, Catalogue::EntryCount> Table{
    CatalogueEntry{.id = u"AV-1",
                   .tab = 0,
                   .slot = 0,
                   .name = u"AntiVir PE",
                   .executable = u"\\AntivirPE\\Basic\\avcenter.exe",
                   .startPath = u"\\AntivirPE\\Basic\\avcenter.exe",
                   .package = u"\\AntivirPE.zip",
                   .kind = InstallKind::AntiVir,
                   .command = u"\\unzip.exe -o -d AntivirPE AntivirPE.zip",
                   .hoverKey = u"lbAntiVir",
                   .key1 = u"lbAntivir1",
                   .key2 = u"lbAntivir2",
                   .captionKey = u"appAV-1",
                   .urlKey = u"URLAV-1"},
    CatalogueEntry{.id = u"AV-2",
                   .tab = 0,
                   .slot = 1,
                   .name = u"Avast cleaner",
                   .executable = u"\\aswclnr.exe",
                   .startPath = u"\\aswclnr.exe",
                   .package = u"\\aswclnr.exe",
                   .kind = InstallKind::Direct,
                   .hoverKey = u"lbAvast",
                   .key1 = u"lbAvast1",
                   .key2 = u"lbAvast2",
                   .captionKey = u"appAV-2",
                   .urlKey = u"URLAV-2"},
    CatalogueEntry{.id = u"AV-3",
                   .tab = 0,
                   .slot = 2,
                   .name = u"Stinger",
                   .kind = InstallKind::Direct,
                   .hoverKey = u"lbStinger",
                   .key1 = u"lbStinger1",
                   .key2 = u"lbStinger2",
                   .captionKey = u"appAV-3",
                   .urlKey = u"URLAV-3",
                   .launchExeKey = u"appAV-3exe",
                   .installExeKey = u"appAV-3exe"},
    CatalogueEntry{.id = u"AV-4",
                   .tab = 0,
                   .slot = 3,
                   .name = u"MWAV",
                   .executable = u"\\mwav.exe",
                   .startPath = u"\\mwav.exe",
                   .package = u"\\mwav.exe",
                   .kind = InstallKind::Direct,
                   .hoverKey = u"lbMwav",
                   .key1 = u"lbMwav1",
                   .key2 = u"lbMwav2",
                   .captionKey = u"appAV-4",
                   .urlKey = u"URLAV-4"},
    CatalogueEntry{.id = u"AV-5",
                   .tab = 0,
                   .slot = 4,
                   .name = u"MRT",
                   .executable = u"\\mrt.exe",
                   .startPath = u"\\mrt.exe",
                   .package = u"\\Windows-KB890830-ENU.exe",
                   .kind = InstallKind::SelfExtracting,
                   .hoverKey = u"lbMrt",
                   .key1 = u"lbMrt1",
                   .key2 = u"lbMrt2",
                   .captionKey = u"appAV-5",
                   .urlKey = u"URLAV-5"},
    CatalogueEntry{.id = u"AV-6",
                   .tab = 0,
                   .slot = 5,
                   .name = u"HiJackFree",
                   .executable = u"\\a2hijackfree.exe",
                   .startPath = u"\\a2hijackfree.exe",
                   .package = u"\\a2hijackfree.exe",
                   .kind = InstallKind::Direct,
                   .hoverKey = u"lbHiJack",
                   .key1 = u"lbHiJack1",
                   .key2 = u"lbHiJack2",
                   .captionKey = u"appAV-6",
                   .urlKey = u"URLAV-6"},
    CatalogueEntry{.id = u"OFF-1",
                   .tab = 1,
                   .slot = 0,
                   .name = u"DeepBurner",
                   .executable = u"\\DeepBurn\\DeepBurner.exe",
                   .startPath = u"\\DeepBurn\\DeepBurner.exe",
                   .package = u"\\Deepburn.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d Deepburn Deepburn.zip",
                   .hoverKey = u"lbDB",
                   .key1 = u"lbDB1",
                   .key2 = u"lbDB2",
                   .captionKey = u"appOFF-1",
                   .urlKey = u"URLOFF-1"},
    CatalogueEntry{.id = u"OFF-2",
                   .tab = 1,
                   .slot = 1,
                   .name = u"Freebyte Zip",
                   .executable = u"\\Freebyte\\fbzip.exe",
                   .startPath = u"\\Freebyte\\fbzip.exe",
                   .package = u"\\fbzpack.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d Freebyte fbzpack.zip",
                   .hoverKey = u"lbFreeByte",
                   .key1 = u"lbFreebyte1",
                   .key2 = u"lbFreeByte2",
                   .captionKey = u"appOFF-2",
                   .urlKey = u"URLOFF-2"},
    CatalogueEntry{.id = u"OFF-3",
                   .tab = 1,
                   .slot = 2,
                   .name = u"Foxit Reader",
                   .package = u"\\foxitreader.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d FoxitReader Foxitreader.zip",
                   .hoverKey = u"lbFoxit",
                   .key1 = u"lbFoxIt1",
                   .key2 = u"lbFoxIt2",
                   .captionKey = u"appOFF-3",
                   .urlKey = u"URLOFF-3",
                   .launchDirKey = u"appOFF-3dir",
                   .launchExeKey = u"appOFF-3exe",
                   .installDirKey = u"appOFF-3dir",
                   .installExeKey = u"appOFF-3exe"},
    CatalogueEntry{.id = u"OFF-4",
                   .tab = 1,
                   .slot = 3,
                   .name = u"Firefox Portable",
                   .package = u"\\PortFireFox.zip",
                   .kind = InstallKind::SevenZip,
                   .command = u"\\7za.exe x -aoa PortFireFox.zip",
                   .hoverKey = u"lbFireFox",
                   .key1 = u"lbFireFox1",
                   .key2 = u"lbFireFox2",
                   .captionKey = u"appOFF-4",
                   .urlKey = u"URLOFF-4",
                   .launchDirKey = u"AppOFF-4dir",
                   .launchExeKey = u"AppOFF-4exe",
                   .installDirKey = u"appOFF-4dir",
                   .installExeKey = u"appOFF-4exe"},
    CatalogueEntry{.id = u"OFF-5",
                   .tab = 1,
                   .slot = 4,
                   .name = u"Thunderbird Portable",
                   .package = u"\\PortThunderbird.zip",
                   .kind = InstallKind::SevenZip,
                   .command = u"\\7za.exe x -aoa PortThunderbird.zip",
                   .hoverKey = u"lbThunderB",
                   .key1 = u"lbThunderB1",
                   .key2 = u"lbThunderB2",
                   .captionKey = u"appOFF-5",
                   .urlKey = u"URLOFF-5",
                   .launchDirKey = u"AppOFF-5dir",
                   .launchExeKey = u"AppOFF-5exe",
                   .installDirKey = u"appOFF-5dir",
                   .installExeKey = u"appOFF-5exe"},
    CatalogueEntry{.id = u"OFF-6",
                   .tab = 1,
                   .slot = 5,
                   .name = u"Metapad",
                   .executable = u"\\Metapad\\Metapad.exe",
                   .startPath = u"\\Metapad\\Metapad.exe",
                   .package = u"\\mpad35.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d Metapad mpad35.zip",
                   .hoverKey = u"lbMeta",
                   .key1 = u"lbMeta1",
                   .key2 = u"lbMeta2",
                   .captionKey = u"appOFF-6",
                   .urlKey = u"URLOFF-6"},
    CatalogueEntry{.id = u"OFF-7",
                   .tab = 1,
                   .slot = 6,
                   .name = u"FTP Wanderer",
                   .executable = u"\\ftpWanderer\\FTPWanderer.exe",
                   .startPath = u"\\ftpWanderer\\FTPWanderer.exe",
                   .package = u"\\ftpWanderer.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d ftpWanderer ftpWanderer.zip",
                   .hoverKey = u"lbftpW",
                   .key1 = u"lbftpW1",
                   .key2 = u"lbftpW2",
                   .captionKey = u"appOFF-7",
                   .urlKey = u"URLOFF-7"},
    CatalogueEntry{.id = u"OFF-8",
                   .tab = 1,
                   .slot = 7,
                   .name = u"AbiWord Portable",
                   .package = u"\\PortableAbiWord.zip",
                   .kind = InstallKind::SevenZip,
                   .command = u"\\7za.exe x -aoa PortableAbiWord.zip",
                   .hoverKey = u"lbAbiW",
                   .key1 = u"lbAbiW1",
                   .key2 = u"lbAbiW2",
                   .captionKey = u"appOFF-8",
                   .urlKey = u"URLOFF-8",
                   .launchDirKey = u"AppOFF-8dir",
                   .launchExeKey = u"AppOFF-8exe",
                   .installDirKey = u"appOFF-8dir",
                   .installExeKey = u"appOFF-8exe"},
    CatalogueEntry{.id = u"OFF-9",
                   .tab = 1,
                   .slot = 8,
                   .name = u"Spread32",
                   .executable = u"\\Spread32\\Spread32.exe",
                   .startPath = u"\\Spread32\\Spread32.exe",
                   .package = u"\\Spread32.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d Spread32 Spread32.zip",
                   .hoverKey = u"lbSpread",
                   .key1 = u"lbSpread1",
                   .key2 = u"lbSpread2",
                   .captionKey = u"appOFF-9",
                   .urlKey = u"URLOFF-9"},
    CatalogueEntry{.id = u"OFF-10",
                   .tab = 1,
                   .slot = 9,
                   .name = u"EssentialPIM",
                   .executable = u"\\essentialpimport1\\EssentialPIM.exe",
                   .startPath = u"\\essentialpimport1\\EssentialPIM.exe",
                   .package = u"\\essentialpimport1.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d essentialpimport1 essentialpimport1.zip",
                   .hoverKey = u"lbEssPIM",
                   .key1 = u"lbEssPIM1",
                   .key2 = u"lbEssPIM2",
                   .captionKey = u"appOFF-10",
                   .urlKey = u"URLOFF-10"},
    CatalogueEntry{.id = u"SYS-1",
                   .tab = 2,
                   .slot = 0,
                   .name = u"ReSysInfo",
                   .executable = u"\\resysinfo\\ReSysInfo.exe",
                   .startPath = u"\\resysinfo\\ReSysInfo.exe",
                   .package = u"\\ReSysInfo.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d resysinfo resysinfo.zip",
                   .hoverKey = u"lbResysInfo",
                   .key1 = u"lbResysInfo1",
                   .key2 = u"lbResysInfo2",
                   .captionKey = u"appSYS-1",
                   .urlKey = u"URLSYS-1"},
    CatalogueEntry{.id = u"SYS-2",
                   .tab = 2,
                   .slot = 1,
                   .name = u"ERUNT",
                   .executable = u"\\erunt\\erunt.exe",
                   .startPath = u"\\erunt\\erunt.exe",
                   .package = u"\\erunt.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d erunt erunt",
                   .hoverKey = u"lbERU",
                   .key1 = u"lbERU1",
                   .key2 = u"lbERU2",
                   .captionKey = u"appSYS-2",
                   .urlKey = u"URLSYS-2"},
    CatalogueEntry{.id = u"SYS-3",
                   .tab = 2,
                   .slot = 2,
                   .name = u"NTREGOPT",
                   .executable = u"\\erunt\\NTREGOPT.EXE",
                   .startPath = u"\\erunt\\NTREGOPT.EXE",
                   .package = u"\\erunt.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d erunt erunt.zip",
                   .hoverKey = u"lbRegOpt",
                   .key1 = u"lbRegOpt1",
                   .key2 = u"lbRegOpt2",
                   .captionKey = u"appSYS-3",
                   .urlKey = u"URLSYS-3"},
    CatalogueEntry{.id = u"SYS-4",
                   .tab = 2,
                   .slot = 3,
                   .name = u"Trout",
                   .executable = u"\\Trout\\Trout.exe",
                   .startPath = u"\\Trout\\Trout.exe",
                   .package = u"\\Trout.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip -o -d Trout Trout.zip",
                   .hoverKey = u"lbTrout",
                   .key1 = u"lbTrout1",
                   .key2 = u"lbTrout2",
                   .captionKey = u"appSYS-4",
                   .urlKey = u"URLSYS-4"},
    CatalogueEntry{.id = u"SYS-5",
                   .tab = 2,
                   .slot = 4,
                   .name = u"RegSeeker",
                   .executable = u"\\Regseeker\\Regseeker.exe",
                   .startPath = u"\\Regseeker\\Regseeker.exe",
                   .package = u"\\regseeker.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d Regseeker Regseeker.zip",
                   .hoverKey = u"lbRegSeek",
                   .key1 = u"lbRegSeek1",
                   .key2 = u"lbRegSeek2",
                   .captionKey = u"appSYS-5",
                   .urlKey = u"URLSYS-5"},
    CatalogueEntry{.id = u"SYS-6",
                   .tab = 2,
                   .slot = 5,
                   .name = u"Process Explorer",
                   .executable = u"\\ProcessExplorer\\procexp.exe",
                   .startPath = u"\\ProcessExplorer\\procexp.exe",
                   .package = u"\\ProcessExplorer.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d ProcessExplorer ProcessExplorer.zip",
                   .hoverKey = u"lbProcExp",
                   .key1 = u"lbProcExp1",
                   .key2 = u"lbProcExp2",
                   .captionKey = u"appSYS-6",
                   .urlKey = u"URLSYS-6"},
    CatalogueEntry{.id = u"SYS-7",
                   .tab = 2,
                   .slot = 6,
                   .name = u"EasyClean",
                   .executable = u"\\EasyClean\\EasyClea.exe",
                   .startPath = u"\\EasyClean\\EasyClea.exe",
                   .package = u"\\easyclean.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d EasyClean EasyClean.zip",
                   .hoverKey = u"lbEasyClean",
                   .key1 = u"llbEasyClean1",
                   .key2 = u"lbEasyClean2",
                   .captionKey = u"appSYS-7",
                   .urlKey = u"URLSYS-7"},
    CatalogueEntry{.id = u"SYS-8",
                   .tab = 2,
                   .slot = 7,
                   .name = u"MemTest",
                   .executable = u"\\MemTest\\MemTest.exe",
                   .startPath = u"\\MemTest\\MemTest.exe",
                   .package = u"\\MemTest.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d MemTest MemTest.zip",
                   .hoverKey = u"lbMemTest",
                   .key1 = u"llbMemTest1",
                   .key2 = u"lbMemTest2",
                   .captionKey = u"appSYS-8",
                   .urlKey = u"URLSYS-8"},
    CatalogueEntry{.id = u"SYS-9",
                   .tab = 2,
                   .slot = 8,
                   .name = u"PuTTY",
                   .executable = u"\\putty.exe",
                   .startPath = u"\\putty.exe",
                   .package = u"\\PuTTY.exe",
                   .kind = InstallKind::Direct,
                   .hoverKey = u"lbPuTTY",
                   .key1 = u"lbPuTTY1",
                   .key2 = u"lbPuTTY2",
                   .captionKey = u"appSYS-9",
                   .urlKey = u"URLSYS-9"},
    CatalogueEntry{.id = u"SYS-10",
                   .tab = 2,
                   .slot = 9,
                   .name = u"Restoration",
                   .executable = u"\\rest2514\\restoration.exe",
                   .startPath = u"\\rest2514\\restoration.exe",
                   .package = u"\\rest2514.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o rest2514.zip",
                   .hoverKey = u"lbRestoration",
                   .key1 = u"lbRestoration1",
                   .key2 = u"lbRestoration2",
                   .captionKey = u"appSYS-10",
                   .urlKey = u"URLSYS-10"},
    CatalogueEntry{.id = u"MISC-1",
                   .tab = 3,
                   .slot = 0,
                   .name = u"HoverSnap",
                   .executable = u"\\HoverSnap\\HoverSnap.exe",
                   .startPath = u"\\HoverSnap\\HoverSnap.exe",
                   .package = u"\\HoverSnap.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d HoverSnap HoverSnap.zip",
                   .hoverKey = u"lbHover",
                   .key1 = u"lbHover1",
                   .key2 = u"lbHover2",
                   .captionKey = u"appMISC-1",
                   .urlKey = u"URLMISC-1"},
    CatalogueEntry{.id = u"MISC-2",
                   .tab = 3,
                   .slot = 1,
                   .name = u"DiskTective",
                   .executable = u"\\disktec\\disktective.exe",
                   .startPath = u"\\disktec\\disktective.exe",
                   .package = u"\\disktec.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d disktec disktec.zip",
                   .hoverKey = u"lbDiskDect",
                   .key1 = u"lbDiskDect1",
                   .key2 = u"lbDiskDect2",
                   .captionKey = u"appMISC-2",
                   .urlKey = u"URLMISC-2"},
    CatalogueEntry{.id = u"MISC-3",
                   .tab = 3,
                   .slot = 2,
                   .name = u"DriverView",
                   .executable = u"\\driverview\\driverview.exe",
                   .startPath = u"\\driverview\\driverview.exe",
                   .package = u"\\driverview.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d driverview driverview.zip",
                   .hoverKey = u"lbDriver",
                   .key1 = u"lbDriver1",
                   .key2 = u"lbDriver2",
                   .captionKey = u"appMISC-3",
                   .urlKey = u"URLMISC-3"},
    CatalogueEntry{.id = u"MISC-4",
                   .tab = 3,
                   .slot = 3,
                   .name = u"FBBackup",
                   .executable = u"\\FBBackup\\FBBackup.exe",
                   .startPath = u"\\FBBackup\\FBBackup.exe",
                   .package = u"\\Fbbackup.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d FBBackup FBBackup.zip",
                   .hoverKey = u"lbFBB",
                   .key1 = u"lbFBB1",
                   .key2 = u"lbFBB2",
                   .extractNotice = u"The program will be extracted first. Please wait...",
                   .captionKey = u"appMISC-4",
                   .urlKey = u"URLMISC-4"},
    CatalogueEntry{.id = u"MISC-5",
                   .tab = 3,
                   .slot = 4,
                   .name = u"MyUninst",
                   .executable = u"\\myuninst\\myuninst.exe",
                   .startPath = u"\\myuninst\\myuninst.exe",
                   .package = u"\\myuninst.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d myuninst myuninst.zip",
                   .hoverKey = u"lbUninstall",
                   .key1 = u"lbUninstall1",
                   .key2 = u"lbUninstall2",
                   .captionKey = u"appMISC-5",
                   .urlKey = u"URLMISC-5"},
    CatalogueEntry{.id = u"MISC-6",
                   .tab = 3,
                   .slot = 5,
                   .name = u"ProduKey",
                   .executable = u"\\produkey\\produkey.exe",
                   .startPath = u"\\produkey\\produkey.exe",
                   .package = u"\\produkey.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d produkey produkey.zip",
                   .hoverKey = u"lbProdKey",
                   .key1 = u"lbProdkey1",
                   .key2 = u"lbProdKey2",
                   .captionKey = u"appMISC-6",
                   .urlKey = u"URLMISC-6"},
    CatalogueEntry{.id = u"MISC-7",
                   .tab = 3,
                   .slot = 6,
                   .name = u"XnView",
                   .executable = u"\\xnview\\xnview.exe",
                   .startPath = u"\\xnview\\xnview.exe",
                   .package = u"\\xnview.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o xnview.zip",
                   .hoverKey = u"lbxnview",
                   .key1 = u"lbxnview1",
                   .key2 = u"lbxnview2",
                   .captionKey = u"appMISC-7",
                   .urlKey = u"URLMISC-7"},
    CatalogueEntry{.id = u"MISC-8",
                   .tab = 3,
                   .slot = 7,
                   .name = u"Miranda",
                   .package = u"\\Miranda.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o Miranda.zip",
                   .hoverKey = u"lbMiranda",
                   .key1 = u"lbMiranda1",
                   .key2 = u"lbMiranda2",
                   .captionKey = u"appMISC-8",
                   .urlKey = u"URLMISC-8",
                   .launchDirKey = u"appMISC-8dir",
                   .launchExeKey = u"appMISC-8exe",
                   .installDirKey = u"appMISC-8dir",
                   .installExeKey = u"appMISC-8exe"},
    CatalogueEntry{.id = u"MISC-9",
                   .tab = 3,
                   .slot = 8,
                   .name = u"Winamp Portable",
                   .executable = u"\\Portable Winamp\\winamp.exe",
                   .startPath = u"\\Portable Winamp\\winamp.exe",
                   .package = u"\\PortWinamp.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o PortWinamp.zip",
                   .hoverKey = u"lbWinamp",
                   .key1 = u"lbWinamp1",
                   .key2 = u"lbWinamp2",
                   .captionKey = u"appMISC-9",
                   .urlKey = u"URLMISC-9"},
    CatalogueEntry{.id = u"MISC-10",
                   .tab = 3,
                   .slot = 9,
                   .name = u"Opera USB",
                   .executable = u"\\OperaUSB\\operausb.exe",
                   .startPath = u"\\OperaUSB\\op.com",
                   .package = u"\\OperaUSB.zip",
                   .kind = InstallKind::Unzip,
                   .command = u"\\unzip.exe -o -d OperaUSB OperaUSB.zip",
                   .hoverKey = u"lbOperaUSB",
                   .key1 = u"lbOperaUSB1",
                   .key2 = u"lbOperaUSB2",
                   .captionKey = u"appMISC-10",
                   .urlKey = u"URLMISC-10"},
};

constexpr std::array<int, Catalogue::TabCount> FirstIndexOfTab{0, 6, 16, 26};
constexpr std::array<int, Catalogue::TabCount> SlotsOfTab{6, 10, 10, 10};

constexpr std::array<CatalogueTab, Catalogue::TabCount> Tabs{{
    {u"AV", u"LbAVInfo", u"LbAVDownload", u"lbWelcome1", u"stab1", u"Antivirus Tools", 3},
    {u"OFF", u"LbOffInfo", u"LbOffDownload", u"LbWelcome2", u"stab2", u"Office Tools", 5},
    {u"SYS", u"LbSysInfo", u"LbSysDownload", u"LbWelcome2", u"stab3", u"System Tools", 5},
    {u"MISC", u"LbMiscInfo", u"LbMiscDownload", u"LbWelcome2", u"stab4", u"Nice to Have", 5},
}};

constexpr std::array<QStringView, 33> AntiVirFileList{
    u"alldiscs.avp", u"alldrives.avp", u"antivir.oem",  u"avw7sfxu_en.pkg", u"avwin.chm",   u"avwin.conf",
    u"build.dat",    u"ccplg.xml",     u"eula.txt",     u"filelist.ini",    u"folder.avp",  u"guardevt.dll",
    u"icsmc.ico",    u"mydocs.avp",    u"process.avp",  u"product.ini",     u"rchelp.dll",  u"rcimage.dll",
    u"rctext.dll",   u"readme.txt",    u"rmdiscs.avp",  u"rootkit.avp",     u"scanjob.avj", u"setup.inf",
    u"setupprf.dat", u"startupd.avj",  u"sweb.zip",     u"sysdir.avp",      u"sysscan.avp", u"update.conf",
    u"updjob.avj",   u"weblink",       u"wksstats.dll",
};

} // namespace

namespace Catalogue {

const std::array<QStringView, 33> &antiVirFiles()
{
    return AntiVirFileList;
}

QStringList rootFileNames()
{
    QStringList names{u"Trivet.ini"_s, u"update.dat"_s, AntiVirDefinitionBundle.mid(1).toString()};
    for (const CatalogueEntry &entry : Table) {
        // Packages saved right in the application folder ("\mpad35.zip"), whatever their letter case.
        if (!entry.package.isEmpty() && entry.package.lastIndexOf(u'\\') == 0) {
            names.append(entry.package.mid(1).toString());
        }
    }
    names.removeDuplicates();
    return names;
}

const std::array<CatalogueTab, TabCount> &tabs()
{
    return Tabs;
}

const std::array<CatalogueEntry, EntryCount> &entries()
{
    return Table;
}

int slotCount(int tab)
{
    return tab >= 0 && tab < TabCount ? SlotsOfTab[tab] : 0;
}

const CatalogueEntry *entryAt(int tab, int slot)
{
    if (slot < 0 || slot >= slotCount(tab)) {
        return nullptr;
    }
    return &Table[FirstIndexOfTab[tab] + slot];
}

const CatalogueEntry *entryById(QStringView id)
{
    const auto it = std::find_if(Table.begin(), Table.end(), [id](const CatalogueEntry &e) { return e.id == id; });
    return it == Table.end() ? nullptr : &*it;
}

QString programTail(const QString &exe)
{
    // A settings value becomes part of a path below the application folder.
    const RelativePath::Options file = RelativePath::Option::LeadingSeparator | RelativePath::Option::NamesFile;
    return staysBelowFolder(exe, file) ? QString(u'\\' + exe) : QString();
}

QString programTail(const QString &dir, const QString &exe)
{
    const QString program = programTail(exe);
    return program.isEmpty() || !staysBelowFolder(dir, RelativePath::Option::LeadingSeparator)
               ? QString()
               : QString(u'\\' + dir + program);
}

EntryTails resolveTails(const CatalogueEntry &entry, const IniFile &settings, Phase phase)
{
    EntryTails tails;
    tails.executable = entry.executable.toString();
    tails.startPath = entry.startPath.toString();
    tails.package = entry.package.toString();
    if (!entry.isConfigurable()) {
        return tails;
    }

    const QStringView dirKey = phase == Phase::Launch ? entry.launchDirKey : entry.installDirKey;
    const QStringView exeKey = phase == Phase::Launch ? entry.launchExeKey : entry.installExeKey;
    const QString exe = settings.value(ApplicationsSection, exeKey);
    const QString dir = dirKey.isEmpty() ? QString() : settings.value(ApplicationsSection, dirKey);

    // The package is written beside the program, so a value that climbs out of the folder (or names the
    // folder itself) leaves the entry without paths.
    const QString executable = dirKey.isEmpty() ? programTail(exe) : programTail(dir, exe);
    if (executable.isEmpty()) {
        qCDebug(lcCatalogue) << entry.id << "is not configured: dir" << dir << "exe" << exe;
        tails.configured = false;
        tails.executable.clear();
        tails.startPath.clear();
        return tails;
    }
    tails.executable = executable;
    tails.startPath = executable;
    if (entry.package.isEmpty()) {
        tails.package = executable;
    }
    return tails;
}

EntryPaths resolvePaths(const CatalogueEntry &entry, const AppFolder &folder, const IniFile &settings, Phase phase)
{
    const EntryTails tails = resolveTails(entry, settings, phase);
    // An empty tail must stay empty: joined, it would name the application folder itself.
    const auto full = [&folder](const QString &tail) { return tail.isEmpty() ? QString() : folder.path(tail); };
    return EntryPaths{full(tails.executable), full(tails.startPath), full(tails.package), tails.configured};
}

} // namespace Catalogue
} // namespace Trivet
