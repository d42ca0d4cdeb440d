#pragma once

#include "common/network/ProxyLogins.h"

#include <QString>
#include <optional>

namespace Trivet {

// What the catalogue's controller needs from a screen, and nothing more.
//
// This is the pattern every controller of the launcher follows: the controller decides (what a click
// does, which text a line shows, when the pointer is busy) and knows no window; the window implements a
// small interface like this one and shows what it is told, knowing no rules. Texts arrive already looked
// up, so a view never reads a settings or language file. Tests put a recorder in the window's place.
class CatalogueView
{
public:
    // How an information line is drawn: the button-text colour, or pure red for what cannot be done
    // off-line.
    enum class Tone { Normal, Offline };

    enum class MessageKind { Information, Warning, Critical };

    virtual ~CatalogueView() = default;

    // The information line of a catalogue tab; the first form keeps the line's tone.
    virtual void showInfo(int tab, const QString &text) = 0;
    virtual void showInfo(int tab, const QString &text, Tone tone) = 0;
    // The download line under it.
    virtual void showDownloadLine(int tab, const QString &text) = 0;
    // The caption of an icon, as the settings name the program.
    virtual void showCaption(int tab, int slot, const QString &text) = 0;
    // The caption under the pointer turns bold; all of them turn back at once.
    virtual void emphasizeCaption(int tab, int slot) = 0;
    virtual void resetCaptions() = 0;
    // Whether the icon's program is on the drive already: such an icon carries a mark, and spoken is what a
    // screen reader says of it (empty for an icon without the mark).
    virtual void showOnStick(int tab, int slot, bool onStick, const QString &spoken) = 0;
    // Whether a newer package of the icon's program is to be had: a second mark, told apart from the first by
    // its corner, shape and colour, with what a screen reader says of it (empty without the mark).
    virtual void showOutdated(int tab, int slot, bool outdated, const QString &spoken) = 0;
    // A download is under way: the progress bar shows and the pointer is busy.
    virtual void showBusy(bool busy) = 0;
    // text says the same in words and numbers of the current language.
    virtual void showProgress(qint64 received, qint64 total, const QString &text) = 0;
    // A message box with an OK button; returns when the user has closed it.
    virtual void showMessage(MessageKind kind, const QString &title, const QString &text) = 0;
    // A modal dialog that asks for a proxy's user name and password; nullopt when the user cancels.
    virtual std::optional<ProxyLogin> askProxyLogin(const ProxyLoginQuestion &question) = 0;
};

} // namespace Trivet
