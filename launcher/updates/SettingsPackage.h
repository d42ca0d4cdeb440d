#pragma once

#include "common/platform/ArchiveExtractor.h"

#include <QString>
#include <QStringView>
#include <QTemporaryDir>
#include <array>
#include <atomic>
#include <memory>

namespace Trivet {

// What belongs to the user in Trivet.ini and outlives a fresh settings file from the maker: whole sections,
// and single values. A section the user's file lacks stays as the package has it.
struct KeptValue
{
    QStringView section;
    QStringView key;
};
inline constexpr std::array<QStringView, 3> KeptSections{u"MyOwnApps", u"USBDriveLetter", u"Platform"};
inline constexpr std::array<KeptValue, 1> KeptValues{{{u"Language", u"Default"}}};

// A settings package on its way into the application folder. Its Trivet.ini is unpacked into a folder of its
// own in the launcher's work folder, the user's kept settings are merged into it there, and only then does
// it replace Trivet.ini by one rename: a crash at any moment leaves the old settings, or the new ones with
// the user's entries, never settings without them. What is left in the work folder goes when this ends, or
// at the launcher's next start.
class SettingsPackage final
{
public:
    explicit SettingsPackage(QString appRoot);
    ~SettingsPackage();

    SettingsPackage(const SettingsPackage &) = delete;
    SettingsPackage &operator=(const SettingsPackage &) = delete;

    // Unpacks the archive with the extractor's safety rules. Touches nothing outside the work folder, so it
    // may run on a worker thread.
    ExtractResult unpack(const QString &archive, const std::atomic_bool *cancelled = nullptr);

    // Merges and puts the new settings in place, with the mode of the file they replace. Runs on the thread
    // that writes the settings, so no other write to Trivet.ini comes between reading the user's entries and
    // the rename. A file that cannot stand in for the settings is Damaged and Trivet.ini stays as it is: one
    // with NUL bytes (UTF-16, binary data: no settings file in a code page), one larger than MaxListSize, one
    // without URLIni or without an address the settings have for a catalogue entry. Put in place, it would
    // leave icons that cannot fetch their programs, or a list that can never be fetched again.
    ExtractResult install();

    // The serial the unpacked list names in [List] Serial; empty without one.
    QString listSerial() const;

    // The maker's list is a few kilobytes; it is read whole on the window's thread.
    static constexpr qint64 MaxListSize = qint64(4) << 20;

private:
    QString m_appRoot;
    std::unique_ptr<QTemporaryDir> m_folder;
};

} // namespace Trivet
