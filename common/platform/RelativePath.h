#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <string_view>
#include <type_traits>

namespace Trivet {

// A name below some folder that cannot reach outside it: settings values that become paths, the names in an
// extraction command, archive members. Every such name is checked by these rules and no others:
// - '/' and '\' both separate, because the names come from Windows and from everywhere else;
// - empty and "." components are dropped: "a//./b" is "a/b";
// - ".." is refused anywhere, even where it would stay inside ("a/../b"): no legitimate name needs it, and
//   judging it would mean knowing which components are links;
// - refused too: a leading separator (absolute), two leading separators (UNC, "\\server\share"), a drive
//   prefix ("C:\x", and the drive-relative "C:x"), NUL and the other control characters, and a name with
//   nothing left once empty and "." components are dropped.
class RelativePath final
{
public:
    enum class Option {
        // The name must end in a name: "tools\" and "tools/." name a folder and are refused.
        NamesFile = 0x1,
        // One leading separator stands for the folder itself, as in the tails "\Metapad\Metapad.exe" that are
        // joined to the application folder; without this option it makes the name absolute. Two are refused
        // either way.
        LeadingSeparator = 0x2,
    };
    Q_DECLARE_FLAGS(Options, Option)

    // Why a name was refused; None when it was not.
    enum class Refusal { None, Empty, Absolute, Unc, Drive, ParentStep, ControlCharacter, NotAFile };

    // What split() does with "..": refuse it, or hand it to the visitor (for link targets, which are followed
    // step by step against the folders that exist).
    enum class ParentSteps { Refuse, Keep };

    [[nodiscard]] static std::optional<RelativePath> parse(QStringView text, Options options = {},
                                                           Refusal *refusal = nullptr);

    // The same rules on any string whose code units below 0x80 are ASCII (UTF-8 bytes, UTF-16, wchar_t), so
    // the extractor can check names in the file system's own encoding, including names that are not valid
    // UTF-8. visit receives each kept component as a std::basic_string_view<Char>; after a refusal it may
    // have seen some of them, which the caller then throws away.
    template <typename Char, typename Visit>
    [[nodiscard]] static Refusal split(std::basic_string_view<Char> text, Options options, ParentSteps parentSteps,
                                       Visit &&visit);

    // A short reason for messages: "climbs out with \"..\"".
    static QString explain(Refusal refusal);

    const QStringList &components() const { return m_components; }
    // The components joined with '/'.
    QString toString() const { return m_components.join(u'/'); }

    friend bool operator==(const RelativePath &, const RelativePath &) = default;

private:
    explicit RelativePath(QStringList components)
        : m_components(std::move(components))
    {
    }

    QStringList m_components;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(RelativePath::Options)

// Whether text names something below a folder by RelativePath's rules.
[[nodiscard]] bool staysBelowFolder(QStringView text, RelativePath::Options options = {});

template <typename Char, typename Visit>
RelativePath::Refusal RelativePath::split(std::basic_string_view<Char> text, Options options, ParentSteps parentSteps,
                                          Visit &&visit)
{
    using Unit = std::make_unsigned_t<Char>;
    const auto isSeparator = [](Char c) { return c == Char('/') || c == Char('\\'); };
    const auto isLetter = [](Char c) {
        return (c >= Char('a') && c <= Char('z')) || (c >= Char('A') && c <= Char('Z'));
    };
    const auto isDot = [](std::basic_string_view<Char> part) { return part.size() == 1 && part[0] == Char('.'); };
    const auto isDotDot = [](std::basic_string_view<Char> part) {
        return part.size() == 2 && part[0] == Char('.') && part[1] == Char('.');
    };

    for (const Char c : text) {
        if (Unit(c) < 0x20 || Unit(c) == 0x7f) {
            return Refusal::ControlCharacter;
        }
    }
    std::size_t start = 0;
    if (!text.empty() && isSeparator(text[0])) {
        if (text.size() > 1 && isSeparator(text[1])) {
            return Refusal::Unc;
        }
        if (!options.testFlag(Option::LeadingSeparator)) {
            return Refusal::Absolute;
        }
        start = 1;
    }
    if (text.size() >= start + 2 && isLetter(text[start]) && text[start + 1] == Char(':')) {
        return Refusal::Drive;
    }

    bool named = false;
    std::basic_string_view<Char> last;
    while (start <= text.size()) {
        std::size_t end = start;
        while (end < text.size() && !isSeparator(text[end])) {
            ++end;
        }
        last = text.substr(start, end - start);
        if (isDotDot(last)) {
            if (parentSteps == ParentSteps::Refuse) {
                return Refusal::ParentStep;
            }
            visit(last);
            named = true;
        } else if (!last.empty() && !isDot(last)) {
            visit(last);
            named = true;
        }
        start = end + 1;
    }
    if (!named) {
        return Refusal::Empty;
    }
    if (options.testFlag(Option::NamesFile) && (last.empty() || isDot(last))) {
        return Refusal::NotAFile;
    }
    return Refusal::None;
}

} // namespace Trivet
