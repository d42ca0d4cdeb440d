#pragma once

#include "common/settings/IniDocument.h"
#include "common/trust/PackageVerifier.h"

#include <QString>
#include <QStringView>

namespace Trivet {

// The program list as its publisher signed it: the settings package Trivet.zip kept in the application
// folder after it was taken, beside its signature Trivet.zip.sig. Its Trivet.ini names the SHA-256 of every
// package the publisher vouches for in [Checksums]. The Trivet.ini beside the launcher cannot stand in for it:
// anyone can edit that file, so a checksum found only there vouches for nothing.
class SignedProgramList final
{
public:
    static constexpr QStringView ListPackage = u"Trivet.zip";
    static constexpr QStringView ListMember = u"Trivet.ini";
    static constexpr QStringView ChecksumsSection = u"Checksums";
    // The list's serial number, the sequence its signature carries.
    static constexpr QStringView ListSection = u"List";
    static constexpr QStringView SerialKey = u"Serial";
    // A program list is a few kilobytes; a kept package larger than this is not looked into.
    static constexpr qint64 MaxListSize = 4 * 1024 * 1024;

    // The list kept in appFolder, checked with the keys of its Keys folder. A list that is missing, unsigned,
    // signed by a key that is not trusted, changed since it was signed or unreadable vouches for nothing, and
    // verification() says why.
    static SignedProgramList load(const QString &appFolder);
    static SignedProgramList load(const QString &listPath, const QString &signaturePath, const TrustedKeys &keys);

    bool isVerified() const { return m_verification.ok(); }
    const Verification &verification() const { return m_verification; }

    // Whether the verified list names sha256 (hexadecimal in either case) as the checksum of the package
    // named packageName. Never for an empty checksum or a list that is not verified.
    bool covers(QStringView packageName, QStringView sha256) const;

private:
    Verification m_verification = Verification::failure(VerificationStatus::NoSignature, {});
    IniDocument m_list; // the Trivet.ini the list carries
};

} // namespace Trivet
