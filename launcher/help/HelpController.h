#pragma once

#include "common/platform/AppFolder.h"

#include <QObject>
#include <QUrl>
#include <memory>

namespace Trivet {

class IniFile;
class ProcessStarter;

// The Help menu's help and home page, the about box's links and the settings editor: each hands a document
// or an address over to the desktop, which opens it with the user's own program. Nothing is waited for
// and, as with any link, a desktop that cannot open it is not reported.
class HelpController final : public QObject
{
    Q_OBJECT

public:
    HelpController(const AppFolder &folder, const IniFile &settings, std::shared_ptr<ProcessStarter> processes,
                   QObject *parent = nullptr);

    // The help document for a language file name: one per distinct help name, English for a language that
    // has none of its own.
    QString helpFile(const QString &language) const;

    void openHelp() const;
    void openHomePage() const;
    void openMail() const;
    void openWebSite() const;
    // Trivet.ini in the text editor: Notepad on Windows, the desktop's handler of text files elsewhere.
    void editSettings() const;

private:
    static void open(const QUrl &url);

    AppFolder m_folder;
    const IniFile &m_settings;
    std::shared_ptr<ProcessStarter> m_processes;
};

} // namespace Trivet
