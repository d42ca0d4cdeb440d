#pragma once

#include <QString>

namespace Trivet {

// PROVISIONAL
struct LanguageFile
{
    QString fileName;
    QString path;
    bool fellBack = false;
    QString reason;
};

class LanguageTexts final
{
public:
    explicit LanguageTexts(QString appRoot);
    LanguageFile select(const QString &defaultValue);
    const LanguageFile &current() const { return m_current; }
    QString text(QStringView key) const;
    QString text(QStringView key, const QString &builtIn) const;
    int parseCount() const { return 0; }

private:
    QString m_root;
    LanguageFile m_current;
};

} // namespace Trivet
