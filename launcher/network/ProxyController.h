#pragma once

#include "common/network/InternetSettings.h"

#include <QObject>
#include <memory>

namespace Trivet {

class LanguageTexts;
class ProxyView;

// Shows the user's proxy in the window and writes what the user sets. The store is the one every download
// of the launcher and the updater reads, so a proxy set here applies to the next download.
class ProxyController final : public QObject
{
    Q_OBJECT

public:
    ProxyController(std::shared_ptr<const InternetSettings> store, const LanguageTexts &texts, ProxyView &view,
                    QObject *parent = nullptr);

    // Fills the frame from the store at start-up.
    void showStored();
    // The check box was clicked; nothing is written until Set.
    void toggle(bool checked);
    // Set: the address and port as typed, and whether the proxy is used. A proxy switched on with an address or
    // port that InternetSettings cannot read is refused with a message saying which, and nothing is written.
    void set(const QString &address, const QString &port, bool enabled);

private:
    std::shared_ptr<const InternetSettings> m_store;
    const LanguageTexts &m_texts;
    ProxyView &m_view;
};

} // namespace Trivet
