#include "launcher/mainwindow/StartupSession.h"

#include "common/platform/FileExists.h"
#include "common/platform/SingleInstance.h"
#include "common/platform/WorkFolder.h"
#include "common/product/Product.h"
#include "common/product/UpdateNote.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/updates/UpdateController.h"

#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

Q_LOGGING_CATEGORY(lcStartup, "trivet.startup")

} // namespace

StartupSession::StartupSession(const AppFolder &folder, IniFile &settings, LanguageTexts &texts,
                               std::shared_ptr<const LocalAddressSource> addresses)
    : m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_addresses(std::move(addresses))
{
}

StartupSession::Start StartupSession::start(LaunchController &launcher, const QSet<QString> &otherDownloads)
{
    Start start;
    const QString language = m_settings.value(u"Language", u"Default");
    m_texts.select(language);
    // A language file that could not be used gives way to English, and the menu says so.
    start.checkedLanguage = m_texts.current().fellBack ? u"English.lng"_s : language;

    // A folder without the launcher's files may be any folder: nothing in it is touched.
    if (!fileExists(m_settings.path())) {
        start.status = Start::Status::NoSettings;
        start.message = m_texts.text(u"errMsg1", u"The settings file \"Trivet.ini\" was not found beside the "
                                                 u"launcher. Please download \"Quillory\" again!"_s);
        return start;
    }
    if (!fileExists(m_folder.path(u"\\Languages\\English.lng"))) {
        start.status = Start::Status::NoEnglish;
        start.message = u"Default Language file \"English.lng\" not found! please download \"Quillory\" again!"_s;
        return start;
    }

    removeLeftovers(launcher, otherDownloads);
    m_localAddress = m_addresses ? m_addresses->localAddress() : loopbackAddress();
    return start;
}

void StartupSession::removeLeftovers(LaunchController &launcher, const QSet<QString> &otherDownloads)
{
    // What a crash or a pulled stick left of an install goes first; the work folder is the launcher's alone.
    // An update of the launcher's own files waits for this start to confirm it: while its Updater runs, the
    // Updater does that; an Updater that is gone can no longer, and this launcher running is the proof.
    const QString root = m_folder.root();
    // The Updater's note is read before the rest of the work folder goes.
    const UpdateNote note = takeUpdateNote(root);
    m_updatedTo = note.version;
    m_updateVerified = note.verified;
    const AwaitingInstall awaiting = SingleInstance::isHeld(root, Product::UpdaterName.toString())
                                         ? AwaitingInstall::Keep
                                         : AwaitingInstall::Confirm;
    if (const FileResult cleaned = removeWorkLeftovers(root, awaiting); !cleaned.ok()) {
        qCWarning(lcStartup) << cleaned.message;
    }
    if (const FileResult cleaned =
            removeWriteLeftovers(root, Catalogue::rootFileNames() << Product::UpdatePackageFile.toString());
        !cleaned.ok()) {
        qCWarning(lcStartup) << cleaned.message;
    }
    launcher.prunePartialDownloads(otherDownloads);
}

bool StartupSession::isOffline() const
{
    return m_localAddress == loopbackAddress();
}

QString StartupSession::chooseLanguage(const QString &fileName)
{
    m_texts.select(fileName);
    const SaveResult saved = m_settings.setValue(u"Language"_s, u"Default"_s, fileName);
    if (saved.ok()) {
        return {};
    }
    qCWarning(lcStartup) << "the language choice could not be saved:" << saved.message;
    if (m_toldSaveFailed) {
        return {};
    }
    m_toldSaveFailed = true;
    return m_texts.text(u"errMsgSave", u"The setting could not be saved, because the drive cannot be written. It "
                                       u"holds until Quillory Vidi is closed."_s);
}

void StartupSession::end()
{
    removeVersionFile(m_folder);
}

} // namespace Trivet
