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

    // Whether all three texts are there; a slot is saved only then.
    bool isComplete() const { return !name.isEmpty() && !path.isEmpty() && !icon.isEmpty(); }

    friend bool operator==(const OwnAppSlot &, const OwnAppSlot &) = default;
};

// The file an icon saved as a bitmap goes to: the name chosen, with ".bmp" added unless it ends so already.
QString bitmapFileName(const QString &chosen);

} // namespace Trivet
