#pragma once

#include <QString>

namespace Trivet {

// One of the user's own programs as section [MyOwnApps] of the settings file keeps it. Slots are counted
// from 0 here and from 1 in the keys (MyOwnAppName1 … MyOwnAppName10).
struct OwnAppSlot
{
    static constexpr int Count = 10;

    QString name; // the caption under its icon
    QString path; // the command line that starts it
    QString icon; // the picture file shown as its icon

    static QString section();
    static QString nameKey(int slot);
    static QString pathKey(int slot);
    static QString iconKey(int slot);

    // What the shipped settings file holds in a slot nobody has filled. The launcher never writes these; it
    // compares against them exactly. Only the path decides whether a slot is in use.
    static QString unusedName();
    static QString unusedPath();
    static QString unusedIcon();

    // The slot as the editor's fields show it: the name and path markers of an unused slot become empty text,
    // which the fields show greyed in their stead.
    OwnAppSlot shownInFields() const;
    // The slot the editor's fields stand for: an empty name or path is the marker of an unused slot, so a
    // saved slot stays what every reader of the settings expects.
    OwnAppSlot fromFields() const;

    // Whether all three texts are there; a slot is saved only then.
    bool isComplete() const { return !name.isEmpty() && !path.isEmpty() && !icon.isEmpty(); }

    friend bool operator==(const OwnAppSlot &, const OwnAppSlot &) = default;
};

// The picture formats an extracted icon is saved in, told by the file's suffix; the first is the one a name
// without either suffix gets.
enum class IconFormat { Png, Bmp };
// The file an extracted icon goes to: the name chosen, with ".png" added unless it ends in ".png" or ".bmp".
QString iconFileName(const QString &chosen);
// The format of a file named by iconFileName().
IconFormat iconFormat(const QString &file);

} // namespace Trivet
