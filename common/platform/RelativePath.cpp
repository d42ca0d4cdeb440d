#include "common/platform/RelativePath.h"

using namespace Qt::StringLiterals;

namespace Trivet {

std::optional<RelativePath> RelativePath::parse(QStringView text, Options options, Refusal *refusal)
{
    QStringList components;
    const Refusal found = split(std::u16string_view(text.utf16(), std::size_t(text.size())), options,
                                ParentSteps::Refuse, [&components](std::u16string_view part) {
                                    components.append(QString::fromUtf16(part.data(), qsizetype(part.size())));
                                });
    if (refusal) {
        *refusal = found;
    }
    if (found != Refusal::None) {
        return std::nullopt;
    }
    return RelativePath(std::move(components));
}

QString RelativePath::explain(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return u"stays below the folder"_s;
    case Refusal::Empty:
        return u"names no file or folder"_s;
    case Refusal::Absolute:
        return u"is absolute"_s;
    case Refusal::Unc:
        return u"names a network share"_s;
    case Refusal::Drive:
        return u"names a drive"_s;
    case Refusal::ParentStep:
        return u"climbs out with \"..\""_s;
    case Refusal::ControlCharacter:
        return u"contains a control character"_s;
    case Refusal::NotAFile:
        return u"names a folder where a file is needed"_s;
    }
    return {};
}

bool staysBelowFolder(QStringView text, RelativePath::Options options)
{
    return RelativePath::parse(text, options).has_value();
}

} // namespace Trivet
