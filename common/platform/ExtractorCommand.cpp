#include "common/platform/ExtractorCommand.h"

#include "common/platform/RelativePath.h"

#include <QList>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

void fail(QString *error, const QString &message)
{
    if (error) {
        *error = message;
    }
}

// Names in a tail are relative to the working folder; one that could leave it is refused, so a settings
// file cannot point an extraction somewhere else.
std::optional<QString> relativeName(QStringView text, QString *why)
{
    RelativePath::Refusal refusal = RelativePath::Refusal::None;
    const std::optional<RelativePath> name = RelativePath::parse(text, {}, &refusal);
    if (!name) {
        *why = u"\""_s + text.toString() + u"\" "_s + RelativePath::explain(refusal);
        return std::nullopt;
    }
    return name->toString();
}

bool hasExtension(const QString &relative)
{
    const QStringView fileName = QStringView(relative).mid(relative.lastIndexOf(u'/') + 1);
    return fileName.lastIndexOf(u'.') > 0;
}

} // namespace

std::optional<ExtractorCommand> ExtractorCommand::parse(QStringView tail, QString *error)
{
    const QList<QStringView> tokens = tail.split(u' ', Qt::SkipEmptyParts);
    if (tokens.isEmpty()) {
        fail(error, u"The extraction command is empty."_s);
        return std::nullopt;
    }

    QStringView program = tokens.first();
    if (!program.startsWith(u'\\') && !program.startsWith(u'/')) {
        fail(error, u"The extraction command must start with \\ and the extractor's name: "_s + tail);
        return std::nullopt;
    }
    program = program.mid(1);

    ExtractorCommand command;
    qsizetype next = 1;
    if (program.compare(u"unzip.exe", Qt::CaseInsensitive) == 0 ||
        program.compare(u"unzip", Qt::CaseInsensitive) == 0) {
        command.tool = Tool::Unzip;
        bool overwrite = false;
        bool haveFolder = false;
        for (; next < tokens.size() && tokens.at(next).startsWith(u'-'); ++next) {
            const QStringView option = tokens.at(next);
            if (option == u"-o" && !overwrite) {
                overwrite = true;
            } else if (option == u"-d" && !haveFolder) {
                if (next + 1 >= tokens.size()) {
                    fail(error, u"\"-d\" needs a folder name: "_s + tail);
                    return std::nullopt;
                }
                QString why;
                const std::optional<QString> folder = relativeName(tokens.at(++next), &why);
                if (!folder) {
                    fail(error,
                         u"The target folder must be a name below the working folder ("_s + why + u"): "_s + tail);
                    return std::nullopt;
                }
                command.targetFolder = *folder;
                haveFolder = true;
            } else {
                fail(error, u"Unsupported unzip switch \""_s + option + u"\": "_s + tail);
                return std::nullopt;
            }
        }
        // Without "-o" the real unzip would stop and ask; every documented command has it.
        if (!overwrite) {
            fail(error, u"The unzip command lacks \"-o\": "_s + tail);
            return std::nullopt;
        }
    } else if (program.compare(u"7za.exe", Qt::CaseInsensitive) == 0 ||
               program.compare(u"7za", Qt::CaseInsensitive) == 0) {
        command.tool = Tool::SevenZip;
        if (tokens.size() < 3 || tokens.at(1).compare(u"x", Qt::CaseInsensitive) != 0 ||
            tokens.at(2).compare(u"-aoa", Qt::CaseInsensitive) != 0) {
            fail(error, u"Only \"7za x -aoa ARCHIVE\" is supported: "_s + tail);
            return std::nullopt;
        }
        next = 3;
    } else {
        fail(error, u"Unknown extractor \""_s + program + u"\": "_s + tail);
        return std::nullopt;
    }

    if (next >= tokens.size()) {
        fail(error, u"The extraction command names no archive: "_s + tail);
        return std::nullopt;
    }
    if (next + 1 < tokens.size()) {
        fail(error, u"Unexpected text after the archive name: "_s + tail);
        return std::nullopt;
    }
    QString why;
    const std::optional<QString> archive = relativeName(tokens.at(next), &why);
    if (!archive) {
        fail(error, u"The archive must be a name below the working folder ("_s + why + u"): "_s + tail);
        return std::nullopt;
    }
    command.archive = *archive;
    if (command.tool == Tool::Unzip && !hasExtension(command.archive)) {
        command.archive += u".zip"_s;
    }
    return command;
}

} // namespace Trivet
