#include "launcher/help/HelpController.h"

#include "common/platform/FileExists.h"
#include "common/platform/ProcessStarter.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"

#include <QDesktopServices>
#include <QDir>
#include <QLoggingCategory>
#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

Q_LOGGING_CATEGORY(lcHelp, "trivet.help")

// Language file → help document, without its extension.
constexpr std::array<std::pair<QStringView, QStringView>, 4> ownHelp{{
    {u"Bulgarian.lng", u"TrivetVaziVA"},
    {u"Deutsch.lng", u"TrivetVazuVO"},
    {u"Nederlands.lng", u"TrivetZeveDE"},
    {u"English.lng", u"TrivetZuveZA"},
}};
constexpr QStringView englishHelp = u"TrivetZuveZA";

// A compiled help file where Windows has one beside the pages, else the pages every stick carries.
#if defined(Q_OS_WIN)
constexpr std::array<QStringView, 2> helpExtensions{u".chm", u".html"};
#else
constexpr std::array<QStringView, 1> helpExtensions{u".html"};
#endif

} // namespace

HelpController::HelpController(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts,
                               std::shared_ptr<ProcessStarter> processes, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_processes(starterOrNone(std::move(processes)))
{
}

QString HelpController::helpFile(const QString &language) const
{
    QStringView name = englishHelp;
    for (const auto &[file, help] : ownHelp) {
        if (language == file) {
            name = help;
        }
    }
    QString file;
    for (const QStringView extension : helpExtensions) {
        file = resolveCaseInsensitive(m_folder.path(QString(u"\\Help\\"_s + name + extension)));
        if (fileExists(file)) {
            break;
        }
    }
    return file;
}

void HelpController::openHelp() const
{
    const QString file = helpFile(m_settings.value(u"Language", u"Default"));
    if (!fileExists(file)) {
        qCWarning(lcHelp) << "no help document at" << file;
        fail(u"errHelpMissing", QDir::toNativeSeparators(file));
        return;
    }
    open(QUrl::fromLocalFile(file));
}

void HelpController::openHomePage() const
{
    open(QUrl(Product::ProductPage.toString()));
}

void HelpController::openMail() const
{
    open(QUrl(Product::MailAddress.toString()));
}

void HelpController::openWebSite() const
{
    open(QUrl(Product::WebSite.toString()));
}

void HelpController::editSettings() const
{
#if defined(Q_OS_WIN)
    const StartResult started =
        m_processes->start({u"notepad.exe"_s, {QDir::toNativeSeparators(m_folder.iniPath())}, {}, WindowStyle::Normal});
    if (!started.ok()) {
        qCWarning(lcHelp) << "cannot start the text editor:" << started.message;
        fail(u"errOpenFailed", QDir::toNativeSeparators(m_folder.iniPath()));
    }
#else
    open(QUrl::fromLocalFile(m_folder.iniPath()));
#endif
}

void HelpController::open(const QUrl &url) const
{
    if (!QDesktopServices::openUrl(url)) {
        qCInfo(lcHelp) << "the desktop did not open" << url.toString();
        fail(u"errOpenFailed", url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString());
    }
}

void HelpController::fail(QStringView key, const QString &what) const
{
    emit openFailed(m_texts.text(key).replace(u"%1"_s, what));
}

} // namespace Trivet
