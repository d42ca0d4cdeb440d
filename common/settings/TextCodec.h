#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace Trivet {

// Settings and language files are UTF-8. Files saved by older versions are in a Windows code page,
// which the file name tells: Cyrillic for Bulgarian, Greek for Greek, Western European otherwise. Zip member
// names that are not UTF-8 are in the DOS code page (Cp437).
enum class TextEncoding { Utf8, Cp1251, Cp1252, Cp1253, Cp437 };

TextEncoding legacyEncodingFor(const QString &filePath);

bool isValidUtf8(QByteArrayView bytes);

// Decodes bytes that hold no BOM of the file's own: as UTF-8 when they are valid UTF-8, else in the legacy
// code page. A byte order mark at their start stays a character, as anywhere else.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);

// Encodes text; empty optional when the encoding cannot represent every character.
std::optional<QByteArray> encodeText(const QString &text, TextEncoding encoding);

} // namespace Trivet
