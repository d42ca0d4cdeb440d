#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace Trivet {

// One extraction command tail as the catalogue and the updaters write them, for example
// "\unzip.exe -o -d Metapad mpad35.zip" or "\7za.exe x -aoa PortFireFox.zip". Only the switches those
// tails use are understood; anything else is refused rather than guessed at, because a misread
// command would unpack into the wrong place.
struct ExtractorCommand
{
    enum class Tool { Unzip, SevenZip };

    Tool tool = Tool::Unzip;
    // Relative to the working folder, with '/' separators. unzip's habit of trying "NAME.zip" for a
    // name without extension is already applied ("erunt" → "erunt.zip").
    QString archive;
    // The "-d" folder relative to the working folder, with '/' separators; empty when the archive's own
    // paths go straight below the working folder.
    QString targetFolder;

    [[nodiscard]] static std::optional<ExtractorCommand> parse(QStringView tail, QString *error = nullptr);

    friend bool operator==(const ExtractorCommand &, const ExtractorCommand &) = default;
};

} // namespace Trivet
