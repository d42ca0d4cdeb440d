#include "launcher/texts/TextKeys.h"

#include "launcher/catalogue/Catalogue.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

// The two message keys of an entry mean opposite things on the antivirus tab, which fetches afresh at
// every on-line click and falls back to the copy on the drive off-line, and on the other tabs, which start
// what is there and fetch only what is missing. Spelling the notes out here keeps translators from
// writing an "is missing" text where the program will show it after a successful start.
void appendCatalogueTab(QList<TextKey> &keys, const CatalogueTab &tab)
{
    const QString tabName = tab.initialTitle.toString();
    const bool antivirusTab = &tab == &Catalogue::tabs().front();
    for (const CatalogueEntry &e : Catalogue::entries()) {
        if (&Catalogue::tabs()[e.tab] != &tab) {
            continue;
        }
        const QString program = e.name.toString();
        keys.append({e.hoverKey.toString(), u"Information line of the %1 tab while the mouse is over the %2 icon: "
                                            u"what %2 does, in one sentence"_s.arg(tabName, program)});
        if (antivirusTab) {
            keys.append({e.key1.toString(), u"Information line of the %1 tab after %2 was started off-line from "
                                            u"the copy on the drive"_s.arg(tabName, program)});
            keys.append(
                {e.key2.toString(), u"Information line of the %1 tab, in red: %2 is not on the drive and "
                                    u"the computer is off-line, so it cannot be downloaded"_s.arg(tabName, program)});
        } else {
            keys.append(
                {e.key1.toString(), u"Information line of the %1 tab, in red: %2 is not on the drive and "
                                    u"the computer is off-line, so it cannot be downloaded"_s.arg(tabName, program)});
            keys.append({e.key2.toString(),
                         u"Information line of the %1 tab: the download of %2 has started"_s.arg(tabName, program)});
        }
    }
}

QList<TextKey> buildTextKeys()
{
    QList<TextKey> keys = {
        // Main window: menus. The five tab titles double as the File-menu items that select the tabs.
        {u"mnuFile"_s, u"Main window: File menu"_s},
        {u"stab1"_s, u"Main window: title of the first tab (antivirus tools) and its File-menu item"_s},
        {u"stab2"_s, u"Main window: title of the second tab (office tools) and its File-menu item"_s},
        {u"stab3"_s, u"Main window: title of the third tab (system tools) and its File-menu item"_s},
        {u"stab4"_s, u"Main window: title of the fourth tab (nice-to-have tools) and its File-menu item"_s},
        {u"stab5"_s, u"Main window: title of the fifth tab (the user's own programs) and its File-menu item"_s},
        {u"mnuExit"_s, u"Main window: File-menu item that ends the launcher"_s},
        {u"mnuSettings"_s, u"Main window: Settings menu"_s},
        {u"mnuDownloadUpdate"_s,
         u"Main window: Settings-menu item that downloads and installs a newer version of the launcher"_s},
        {u"mnuDownloadIni"_s, u"Main window: Settings-menu item that downloads a fresh settings file (program "
                              u"list and download addresses), keeping the user's own programs"_s},
        {u"mnuEditIniFile"_s, u"Main window: Settings-menu item that opens the settings file in a text editor"_s},
        {u"mnuLanguage"_s, u"Main window: Language menu"_s},
        {u"mnuHelpRoot"_s, u"Main window: Help menu"_s},
        {u"mnuHelp"_s, u"Main window: Help-menu item that opens the help file"_s},
        {u"mnuAbout"_s, u"Main window: Help-menu item that opens the about box"_s},
        {u"mnuHomePage"_s, u"Main window: Help-menu item that opens the product's web page"_s},

        // Main window: finding a program by typing.
        {u"lbSearchHint"_s, u"Main window: grey hint in the empty search field above the tabs"_s},
        {u"lbSearchNone"_s, u"Main window: shown instead of the result list when nothing matches; %1 is what was "
                            u"typed"_s},

        // Main window: buttons, proxy frame, credit line.
        {u"cmdExit"_s, u"Main window: button that ends the launcher; also the updater's button that stops the "
                       u"update and goes back to the launcher"_s},
        {u"cmdSettings"_s, u"Main window, fifth tab: button that opens the editor of the user's own programs"_s},
        {u"cmdUSBDrive"_s, u"Main window, fifth tab: button that points the user's own programs at the drive "
                           u"letter the USB drive has now"_s},
        {u"Translated"_s, u"Main window: small credit line on every tab naming who wrote this language's texts"_s},
        {u"FrmProxy"_s, u"Main window, first tab: title of the frame around the proxy settings"_s},
        {u"chkProxy"_s, u"Main window, proxy frame: check box that switches the proxy on"_s},
        {u"lbAddress"_s, u"Main window, proxy frame: label of the proxy address field"_s},
        {u"lbProxPort"_s, u"Main window, proxy frame: label of the proxy port field"_s},
        {u"cmdSet"_s, u"Main window, proxy frame: button that saves the proxy settings"_s},
        {u"MsgProxyOK"_s, u"Message box after the proxy settings were saved"_s},
        {u"MsgProxyBadHost"_s, u"Message box when Set is clicked with the proxy switched on and an address that is no "
                               u"host name, IPv4 address or IPv6 address in brackets; nothing was saved"_s},
        {u"MsgProxyBadPort"_s, u"Message box when Set is clicked with the proxy switched on and a port that is no "
                               u"whole number from 1 to 65535; nothing was saved"_s},
        {u"FrmProxyLogin"_s, u"Title of the dialog, in the launcher and the updater, that asks for the user name and "
                             u"password a proxy server wants"_s},
        {u"lbProxyLogin"_s, u"Proxy login dialog: what the proxy asks for; %1 is its address, such as 10.0.0.1:8080"_s},
        {u"lbProxyLoginAgain"_s,
         u"Proxy login dialog, after the proxy refused the user name and password it was given; "
         u"%1 is its address, such as 10.0.0.1:8080"_s},
        {u"lbProxyUser"_s, u"Proxy login dialog: label of the user name box"_s},
        {u"lbProxyPassword"_s, u"Proxy login dialog: label of the password box"_s},
        {u"cmdProxyLogin"_s, u"Proxy login dialog: button that tries the download again with the name and password"_s},
        {u"cmdProxyCancel"_s, u"Proxy login dialog: button that gives the download up"_s},

        // Information lines of the catalogue tabs.
        {u"lbWelcome1"_s, u"Information line of the first tab when on-line: welcome, click an icon to start a "
                          u"program (a missing one is downloaded first)"_s},
        {u"LbWelcome2"_s, u"Information line of the second to fourth tabs when on-line: click an icon to start a "
                          u"program (a missing one is downloaded first)"_s},
        {u"lbNoInet"_s, u"Information lines of all catalogue tabs, in red, when no internet connection was found: "
                        u"missing programs cannot be downloaded"_s},

        // Start-up.
        {u"errMsg1"_s, u"Warning box at start-up: the settings file Trivet.ini is missing and the launcher ends"_s},
        {u"errMsg2"_s, u"Warning box at start-up: the extractor is missing and the launcher ends"_s},

        // Downloads and installation.
        {u"lbWaitProg"_s, u"Information line of the first tab while a program is being downloaded"_s},
        {u"lbWaitupd"_s, u"Information line of the first tab while AntiVir's virus definitions are being "
                         u"downloaded"_s},
        {u"lbDownload"_s, u"Download line of the first tab when a download starts, before the byte count shows"_s},
        {u"lbDownloadOK"_s, u"Download lines of all catalogue tabs when a download has ended"_s},
        {u"lbExtract"_s, u"Information line of a catalogue tab while a downloaded program is being unpacked"_s},
        {u"lbReady"_s, u"Information line of a catalogue tab once a downloaded program is unpacked and started; %1 is "
                       u"the program's name"_s},
        {u"lbDownloadFailed"_s, u"Information and download lines that told of a download that has failed; a box "
                                u"says why"_s},
        {u"lbInstallFailed"_s, u"Information line of a catalogue tab after a downloaded program could not be "
                               u"installed; a box says why"_s},
        {u"lbDownloadCancelled"_s, u"Information and download lines that told of a download the user cancelled"_s},
        {u"lbOf"_s, u"The word between two sizes of a download, as in \"1024 of 4096\" and \"1.2 MB of 2.9 MB\""_s},
        {u"cmdCancelDownload"_s, u"Main window: button beside the progress bar that cancels the downloads it shows"_s},
        {u"lbCancelDownload"_s, u"Main window: what screen readers and the tool tip say of the button that cancels "
                                u"the downloads"_s},
        {u"errMsg3"_s, u"Warning box: a program could not be installed because its download or unpacking "
                       u"failed"_s},
        {u"MsgQuitWhileBusy"_s, u"Question box when the user leaves (Exit, the File menu or the close box) while a "
                                u"download or an unpack runs: Yes quits, No keeps the launcher running"_s},
        {u"MsgAntivirUpdt"_s, u"Message box after new AntiVir virus definitions were downloaded, just before "
                              u"AntiVir opens"_s},
        {u"errMsgSave"_s, u"Warning box, once per run: a setting the user chose (such as the language) could not be "
                          u"saved because the drive cannot be written; it holds until the launcher ends"_s},
        {u"errReasonNet"_s, u"Second line of the install failure box: no connection to the server, or the server "
                            u"answered with an error"_s},
        {u"errReasonDamaged"_s, u"Second line of the install failure box: what was downloaded was not a program, "
                                u"or the package is damaged"_s},
        {u"errReasonSpace"_s, u"Second line of the install failure box: the drive is full or cannot be written"_s},
        {u"errReasonRefused"_s, u"Second line of the install failure box: the package was refused because it "
                                u"would write files outside its own folder"_s},
        {u"errReasonUnsupported"_s, u"Second line of the install failure box: the package is an archive packed with "
                                    u"a compression method this build cannot unpack"_s},
        {u"errReasonProxy"_s, u"Second line of the install failure box: the proxy server could not be reached or "
                              u"refused the connection; %1 is its address, such as 10.0.0.1:8080"_s},
        {u"errReasonProxyPassword"_s, u"Second line of the install failure box: the proxy server asks for a user "
                                      u"name and password; %1 is its address, such as 10.0.0.1:8080"_s},
        {u"errReasonSecure"_s, u"Second line of the install failure box: the server's certificate is not trusted, "
                               u"or the secure connection failed"_s},
        {u"errReasonWebPage"_s, u"Second line of the install failure box: the server sent a web page instead of "
                                u"the program (the login page of a hotel network, say)"_s},
        {u"errReasonEncrypted"_s, u"Second line of the install failure box: the package is protected by a "
                                  u"password"_s},
        {u"errReasonHttp"_s, u"Second line of the install failure box: the server answered with an error; %1 is "
                             u"its number, such as 503, %2 the server's own words, such as Service Unavailable"_s},
        {u"errMsgWine"_s, u"Warning box on a system other than Windows without Wine: the program the user clicked "
                          u"is installed (its files stay), but it is a Windows program; says to install Wine and "
                          u"click the icon again"_s},
        {u"lbNeedsWine"_s, u"Download line of a catalogue tab while the mouse is over an icon whose program is a "
                           u"Windows program and no Wine was found: said before a download, in one short line"_s},
        {u"lbOnStick"_s, u"Said by screen readers for a catalogue icon that carries the mark of a program already on "
                         u"the drive"_s},
        {u"lbDownloadFirst"_s,
         u"Added to the information line when the pointer is on the icon of a program that is not "
         u"on the drive and would be downloaded at a click"_s},
        {u"lbDownloadFirstSize"_s, u"The same with the package's size known; %1 is the size, such as 4.2 MB"_s},
        {u"lbNotVerified"_s,
         u"Added after that when no program list signed with a trusted key names the package's checksum: the "
         u"download is checked against the settings file only, which anyone can edit"_s},
    };

    for (const CatalogueTab &tab : Catalogue::tabs()) {
        appendCatalogueTab(keys, tab);
    }

    keys.append({
        // OpenOffice.org Portable, which has a File-menu item and a window of its own instead of an icon.
        {u"OOPMsg1"_s, u"Warning box: OpenOffice.org Portable is not on the drive and the computer is off-line"_s},
        {u"OOPMsg2"_s, u"Question box with OK and Cancel: OpenOffice.org Portable is not on the drive yet; "
                       u"download it now?"_s},
        {u"lblOOPInfo"_s, u"Information lines of all catalogue tabs while OpenOffice.org Portable is being "
                          u"downloaded"_s},

        // One key for the close button of the about box, the OpenOffice.org Portable window and the editor.
        {u"cmdClose"_s, u"Close button of the about box, the OpenOffice.org Portable window and the editor of "
                        u"the user's own programs"_s},

        // New-version prompt.
        {u"lbVersionUpdate"_s, u"New-version window: a newer launcher is available; open its web page?"_s},
        {u"cmdYes"_s, u"New-version window: button that opens the web page"_s},
        {u"cmdNo"_s, u"New-version window: button that closes the window"_s},
        {u"cmdUpdateNow"_s, u"New-version window: button that starts the Updater at once, as Settings, Download New "
                            u"Version does"_s},
        {u"lbVersionNumbers"_s, u"New-version window, second line: %1 is the version offered, %2 the one "
                                u"installed"_s},
        {u"lbIniFailed"_s, u"Download line of the first tab: the fresh program list (settings package) could not be "
                           u"downloaded or unpacked, and the settings were left as they were"_s},
        {u"errUpdaterStart"_s, u"Warning box: the Updater, which installs a new version, is missing or could not be "
                               u"started, so the launcher stays open"_s},
        {u"errUpdFailed"_s, u"Updater window, status line (the reason follows on a line of its own): the new "
                            u"version could not be installed and the launcher was started as it was"_s},
        {u"errUpdWait"_s, u"Updater, message box: the launcher did not close within 30 seconds, so the updater "
                          u"changed nothing and ends"_s},
        {u"errUpdNoStart"_s, u"Updater window, line under errUpdFailed: the new version was put in place but did "
                             u"not start, so the previous files were put back and the previous launcher started"_s},
        {u"errReasonUnsigned"_s, u"Line under errUpdFailed or lbIniFailed: a publisher's key is in Keys, and the "
                                 u"update or program list came without a signature, so it was refused"_s},
        {u"errReasonBadSignature"_s, u"Line under errUpdFailed or lbIniFailed: the package's signature is not a "
                                     u"trusted key's signature of this package, so it was refused"_s},
        {u"errReasonReplay"_s, u"Line under errUpdFailed or lbIniFailed: the package is validly signed but older "
                               u"than the version or program list already installed, so it was refused"_s},
        {u"msgUpdUnverified"_s, u"Updater window while installing, and the launcher's box after MsgUpdatedTo: the "
                                u"update was installed without a check of its signature, as Keys holds no key"_s},

        // Updates of the programs on the drive: the icons' update mark and Settings, Update Programs on the Stick.
        {u"mnuUpdatePrograms"_s, u"Main window: Settings-menu item that opens the window listing the programs on the "
                                 u"drive that have a newer version, to update them"_s},
        {u"lbUpdateAvailable"_s, u"Information line of a catalogue tab while the mouse is over the icon of a program "
                                 u"on the drive that has a newer version; %1 is the download size (\"2.4 MB\")"_s},
        {u"lbUpdateAvailableUnsized"_s, u"The same line when the download size is not known"_s},
        {u"lbOutdated"_s, u"What a screen reader says of the update mark on a catalogue icon: a newer version of the "
                          u"program is to be had"_s},
        {u"FrmUpdatePrograms"_s, u"Title of the update window (Settings, Update Programs on the Stick)"_s},
        {u"lbUpdIntro"_s, u"Update window, above the list of programs with a newer version, each with a check box"_s},
        {u"cmdUpdatePrograms"_s, u"Update window: button that updates the ticked programs one after the other"_s},
        {u"lbUpdWaiting"_s, u"Update window, state of a ticked program whose turn has not come yet"_s},
        {u"lbUpdDownloading"_s, u"Update window, state of the program being downloaded; %1 is the percentage"_s},
        {u"lbUpdInstalling"_s, u"Update window, state of the program whose download arrived and is being installed"_s},
        {u"lbUpdDone"_s, u"Update window, state of a program that was updated"_s},
        {u"lbUpdSkipped"_s, u"Update window, state of a program that was not updated; %1 is why (lbUpdBusy or "
                            u"lbUpdCancelled)"_s},
        {u"lbUpdFailed"_s, u"Update window, state of a program whose update failed; %1 is the reason"_s},
        {u"lbUpdBusy"_s, u"Update window, reason after lbUpdSkipped: the program runs or is being downloaded or "
                         u"installed already"_s},
        {u"lbUpdCancelled"_s, u"Update window, reason after lbUpdSkipped: the user cancelled the updates"_s},
        {u"lbUpdSummary"_s, u"Update window, line at the end: %1 programs updated, %2 skipped, %3 failed"_s},
        {u"lbUpdKeptChanged"_s, u"Update window, heading of the list of files the user had changed: they were kept, "
                                u"and the new version of each was put beside it with .new added to its name"_s},
        {u"lbUpdKeptNoLonger"_s, u"Update window, heading of the list of files the new version no longer has, kept "
                                 u"because the user had changed them"_s},
        {u"lbUpdAllCurrent"_s, u"Update window, instead of the list: no program on the drive has a newer version"_s},
        {u"lbUpdOffline"_s, u"Update window, instead of the list: the computer is off-line"_s},

        // Updating and reinstalling a program on the drive.
        {u"errReinstall"_s, u"Message when an update, reinstall or repair of a program cannot begin; a line "
                            u"starting with \"Reason:\" follows"_s},
        {u"errReasonOffline"_s, u"Line under errReinstall: there is no internet connection to fetch the package"_s},
        {u"errReasonBusy"_s, u"Line under errReinstall: the program's package is already being fetched or installed"_s},
        {u"errReasonNoFolder"_s, u"Line under errReinstall: the program's package starts itself or is the antivirus "
                                 u"scanner, so it cannot be updated in place"_s},
        {u"errReasonRunning"_s, u"Line under errReinstall: %1 is the program's name; it is running from the drive "
                                u"and must be closed first"_s},
        {u"MsgKeptChanged"_s, u"Message after an update, followed by a list of files: the user changed them, so "
                              u"they were kept and the new versions were placed beside them (NAME.new stays as "
                              u"it is)"_s},
        {u"MsgKeptNoLonger"_s, u"Message after an update, followed by a list of files: the new version no longer "
                               u"has them, but the user changed them, so they were kept"_s},

        // Editor of the user's own programs.
        {u"lbAppNumber"_s, u"Own-programs editor: label of the list that selects one of the ten slots"_s},
        {u"lbAppName"_s, u"Own-programs editor: label of the program's display name"_s},
        {u"lbAppExe"_s, u"Own-programs editor: label of the path of the program file"_s},
        {u"lbAppIcon"_s, u"Own-programs editor: label of the path of the icon picture"_s},
        {u"cmdBrowse"_s, u"Own-programs editor: both buttons that open a file dialog (program and icon)"_s},
        {u"cmdExtractIcon"_s, u"Own-programs editor: button that takes the icon out of the program file"_s},
        {u"cmdSaveIcon"_s, u"Own-programs editor: button that saves the icon shown as a picture file"_s},
        {u"cmdSave"_s, u"Own-programs editor: button that saves the selected slot"_s},
        {u"MsgOwnAppUnsaved"_s, u"Own-programs editor, question box before another slot is shown or the editor "
                                u"closes: the fields were changed but not saved; %1 is the slot (App1 to App10)"_s},
        {u"cmdSaveEdits"_s, u"Own-programs editor, that question box: button that saves the changes and goes on"_s},
        {u"cmdDiscardEdits"_s, u"Own-programs editor, that question box: button that drops the changes and goes on"_s},
        {u"cmdCancelEdits"_s, u"Own-programs editor, that question box: button that stays with the changes"_s},
        {u"errOwnAppMissing"_s, u"Own programs, warning box after a slot was clicked: its program was not found; %1 is "
                                u"the path"_s},
        {u"errOwnAppFolder"_s,
         u"Own programs, warning box after a slot was clicked: its path names a folder; %1 is the "
         u"path"_s},
        {u"errOwnAppNoStart"_s, u"Own programs, warning box after a slot was clicked: the file is there but could not "
                                u"be started (no run bit, or not a program for this system); %1 is the path"_s},
        {u"MsgOwnAppEdit"_s, u"Own programs, last line of those warning boxes: OK opens the editor on that slot"_s},
        {u"MsgDriveMoved"_s, u"Own programs, message box after Adjust Drive Letter: %1 paths (two or more) were moved "
                             u"from drive %2 to drive %3"_s},
        {u"MsgDriveMovedOne"_s,
         u"Own programs, message box after Adjust Drive Letter: one path was moved from drive %1 "
         u"to drive %2"_s},
        {u"MsgDriveNothing"_s, u"Own programs, message box after Adjust Drive Letter: no path needed to change"_s},

        // The menu of a catalogue icon (right click, Menu key, Shift+F10), and taking a program off the stick.
        {u"mnuProgStart"_s, u"Menu of a catalogue icon: starts the program, or fetches it first, as a click does"_s},
        {u"mnuProgUpdate"_s, u"Menu of a catalogue icon, only when a newer package is named: installs it over the "
                             u"program, keeping files the user changed"_s},
        {u"mnuProgReinstall"_s, u"Menu of a catalogue icon: fetches the program's package again and installs it "
                                u"over the program on the stick"_s},
        {u"mnuProgCheck"_s, u"Menu of a catalogue icon: compares the program's files with what its install "
                            u"placed"_s},
        {u"mnuProgOpenFolder"_s, u"Menu of a catalogue icon: shows the program's folder in the file manager"_s},
        {u"mnuProgRemove"_s, u"Menu of a catalogue icon: deletes the program's files from the stick, after a "
                             u"question"_s},
        {u"MsgRemoveAsk"_s, u"Question box (Yes/No, No is the default) after Remove from Stick; %1 is the program's "
                            u"caption"_s},
        {u"MsgRemoved"_s, u"Message box after a removal that left nothing behind; %1 is the program's caption"_s},
        {u"MsgRemovedKept"_s, u"Message box after a removal that kept files the user changed or added; a list of "
                              u"them follows, one a line; %1 is the program's caption"_s},
        {u"errRemoveNoRecord"_s, u"Warning box after Remove from Stick: the program was installed by an older "
                                 u"launcher that kept no list of its files, so nothing was deleted; %1 is its "
                                 u"caption"_s},
        {u"errRemoveBadRecord"_s, u"Warning box after Remove from Stick: the list of the program's files cannot be "
                                  u"read, so nothing was deleted; the reason follows; %1 is its caption"_s},
        {u"errRemoveRunning"_s, u"Warning box after Remove from Stick: the program is running, so nothing was "
                                u"deleted; %1 is its caption"_s},
        {u"errRemoveFailed"_s, u"Warning box after Remove from Stick: some files could not be deleted; a list of "
                               u"them follows, one a line; %1 is the program's caption"_s},
        {u"MsgUpdatedTo"_s, u"Message box at the first start after the Updater put a new version in place; %1 is "
                            u"that version"_s},
        {u"errHelpMissing"_s, u"Warning box after Help: the help document of the language is not in the Help "
                              u"folder; %1 is its path"_s},
        {u"errOpenFailed"_s, u"Warning box after Help, Home Page, Edit Settings File or a link of the about box: "
                             u"the desktop has no program that opens it; %1 is the path or address"_s},

        // Checking installed files: Settings, Check All Programs, and the check of one program.
        {u"mnuCheckAll"_s, u"Main window: Settings-menu item that checks the files of every installed program "
                           u"against what their install left"_s},
        {u"FrmCheckFiles"_s, u"Check window: its title"_s},
        {u"cmdCancelCheck"_s, u"Check window: button that stops the check (or the repairs still to come)"_s},
        {u"cmdRepair"_s, u"Check window: button that installs again every program with missing or changed files"_s},
        {u"lbCheckProgress"_s, u"Check window, above the bar while it reads: %1 is the program being checked, %2 "
                               u"and %3 the sizes read so far and in all"_s},
        {u"lbCheckFileCount"_s, u"Check window, in the bar: %1 files checked of %2"_s},
        {u"lbCheckDone"_s, u"Check window, above the bar once every file was read: %1 files, %2 their size"_s},
        {u"lbCheckCancelled"_s, u"Check window, above the bar after Cancel: %1 files were checked of %2"_s},
        {u"lbCheckNone"_s, u"Check window: no program has a record of its installed files to check against"_s},
        {u"lbCheckNoRecord"_s, u"Check window: program %1 has no record of its installed files to check against"_s},
        {u"lbCheckClean"_s, u"Check window, a program's line: %1 is the program, %2 how many files it has"_s},
        {u"lbCheckFaults"_s, u"Check window, a program's line: %1 is the program; %2 of its %3 files are missing or "
                             u"changed, listed below"_s},
        {u"lbCheckPartial"_s, u"Check window, a program's line after Cancel: %1 is the program; %2 of its %3 files "
                              u"were checked, what was found is listed below"_s},
        {u"lbCheckUnread"_s, u"Check window, a program's line: %1 is the program; its record does not read, %2 says "
                             u"why"_s},
        {u"lbCheckMissing"_s, u"Check window, under a program: %1 is the path of a file that is gone"_s},
        {u"lbCheckChanged"_s, u"Check window, under a program: %1 is the path of a file whose bytes changed"_s},
        {u"lbRepairing"_s, u"Check window, above the bar during Repair: %1 is the program being installed again"_s},
        {u"lbRepairDone"_s, u"Check window, above the bar: every program of Repair was installed again"_s},
        {u"lbRepairFailed"_s, u"Check window, above the bar after Repair: %1 lists the programs that could not be "
                              u"installed again"_s},
    });
    return keys;
}

} // namespace

const QList<TextKey> &allTextKeys()
{
    static const QList<TextKey> keys = buildTextKeys();
    return keys;
}

bool isTextKey(QStringView key)
{
    // Folded once, so checking every key of a file costs one hash probe per key.
    static const QSet<QString> folded = [] {
        QSet<QString> set;
        for (const TextKey &k : allTextKeys()) {
            set.insert(k.key.toCaseFolded());
        }
        return set;
    }();
    return folded.contains(key.toString().toCaseFolded());
}

} // namespace Trivet
