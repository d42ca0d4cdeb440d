#pragma once

#include <QString>

namespace Trivet {

// What the own programs' controller needs from the tab that shows the slots (see CatalogueView for the
// pattern). Slots are counted from 0.
class OwnAppsView
{
public:
    virtual ~OwnAppsView() = default;

    virtual void showSlotName(int slot, const QString &name) = 0;
    // The picture in file becomes the slot's icon; a file that cannot be loaded as a picture leaves the
    // icon as it was.
    virtual void showSlotPicture(int slot, const QString &file) = 0;
    // Empty: no tool tip.
    virtual void showSlotToolTip(int slot, const QString &text) = 0;
    // A warning box with an OK button; returns when the user has closed it.
    virtual void showMessage(const QString &title, const QString &text) = 0;
    // An information box with an OK button, for what an action did.
    virtual void showReport(const QString &title, const QString &text) = 0;
    // A warning box with OK and Cancel; true when the user chose OK.
    virtual bool confirm(const QString &title, const QString &text) = 0;
};

} // namespace Trivet
