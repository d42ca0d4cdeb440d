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

QString bitmapFileName(const QString &chosen)
{
    return chosen.endsWith(u".bmp"_s, Qt::CaseInsensitive) ? chosen : chosen + u".bmp"_s;
}

} // namespace Trivet
