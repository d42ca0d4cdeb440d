#include "launcher/ownapps/OwnAppSlot.h"

using namespace Qt::StringLiterals;

namespace Trivet {

QString OwnAppSlot::section()
{
    return u"MyOwnApps"_s;
}

QString OwnAppSlot::nameKey(int slot)
{
    return u"MyOwnAppName%1"_s.arg(slot + 1);
}

QString OwnAppSlot::pathKey(int slot)
{
    return u"MyOwnAppPath%1"_s.arg(slot + 1);
}

QString OwnAppSlot::iconKey(int slot)
{
    return u"MyOwnAppIcon%1"_s.arg(slot + 1);
}

QString OwnAppSlot::unusedName()
{
    return u"My program"_s;
}

QString OwnAppSlot::unusedPath()
{
    return u"Your Application Path here"_s;
}

QString OwnAppSlot::unusedIcon()
{
    return u"Your Icon-path here"_s;
}

OwnAppSlot OwnAppSlot::shownInFields() const
{
    return {name == unusedName() ? QString() : name, path == unusedPath() ? QString() : path, icon};
}

OwnAppSlot OwnAppSlot::fromFields() const
{
    return {name.isEmpty() ? unusedName() : name, path.isEmpty() ? unusedPath() : path, icon};
}

IconFormat iconFormat(const QString &file)
{
    return file.endsWith(u".bmp"_s, Qt::CaseInsensitive) ? IconFormat::Bmp : IconFormat::Png;
}

QString iconFileName(const QString &chosen)
{
    const bool named =
        chosen.endsWith(u".png"_s, Qt::CaseInsensitive) || chosen.endsWith(u".bmp"_s, Qt::CaseInsensitive);
    return named ? chosen : chosen + u".png"_s;
}

} // namespace Trivet
