#pragma once

#include "common/platform/AppFolder.h"

#include <QObject>
#include <QUrl>
#include <memory>

namespace Trivet {

class IniFile;
class LanguageTexts;
class ProcessStarter;

// The Help menu's help and home page, the about box's links and the settings editor: each hands a document
// or an address over to the desktop, which opens it with the user's own program. Nothing is waited for; what
// can be seen to fail (a missing document, a desktop without a program for it) is told with the path or
// address, through openFailed.
class HelpController final : public QObject
{
    Q_OBJECT

public:
    HelpController(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts,
                   std::shared_ptr<ProcessStarter> processes, QObject *parent = nullptr);

    // The help document for a language file name: one per distinct help name, English for a language that
    // has none of its own. On Windows a compiled help file (.chm) comes before the pages (.html) of the same
    // name; the pages are named when neither is there.
    QString helpFile(const QString &language) const;

    void openHelp() const;
    void openHomePage() const;
    void openMail() const;
    void openWebSite() const;
    // Trivet.ini in the text editor: Notepad on Windows, the desktop's handler of text files elsewhere.
    void editSettings() const;

signals:
    // What the user is told, in the chosen language, with the path or address that could not be opened.
    void openFailed(const QString &message) const;

private:
    void open(const QUrl &url) const;
    void fail(QStringView key, const QString &what) const;

    AppFolder m_folder;
    const IniFile &m_settings;
    const LanguageTexts &m_texts;
    std::shared_ptr<ProcessStarter> m_processes;
};

} // namespace Trivet
