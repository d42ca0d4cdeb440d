#pragma once

#include <QString>

namespace Trivet {

// What the office suite's controller needs beyond the catalogue's view (see CatalogueView for the pattern).
class OfficeSuiteView
{
public:
    virtual ~OfficeSuiteView() = default;

    // The offer to download the suite, with OK and Cancel; true for OK.
    virtual bool confirmSuiteDownload(const QString &title, const QString &text) = 0;
    // The suite's own window with one icon a component, shown without blocking and brought to the front.
    virtual void showSuiteWindow() = 0;
};

} // namespace Trivet
