#pragma once

#include "common/network/InternetSettings.h"
#include "common/platform/UserRegistry.h"
#include "common/settings/IniFile.h"
#include "tests/support/IniWrite.h"

#include <QFile>
#include <QStringList>

namespace Trivet::Test {

// The proxy's two values where InternetSettings keeps them: in the given file where there is no registry, in
// the user's registry on Windows. A test sets them up as another program would and reads back what was
// written; the registry's values are put back as they were when the helper goes.
class StoredProxy final
{
public:
    static inline const QString Section = QStringLiteral("Internet Settings");
    static inline const QStringList Names = {QStringLiteral("ProxyServer"), QStringLiteral("ProxyEnable")};

    explicit StoredProxy(QString file)
        : m_file(std::move(file))
    {
        for (const QString &name : Names) {
            m_before.append(m_registry.value(name));
        }
        if (usesRegistry()) {
            for (const QString &name : Names) {
                m_registry.remove(name);
            }
        }
    }
    ~StoredProxy()
    {
        for (qsizetype i = 0; i < Names.size(); ++i) {
            if (m_before.at(i)) {
                m_registry.setValue(Names.at(i), *m_before.at(i));
            } else {
                m_registry.remove(Names.at(i));
            }
        }
    }
    StoredProxy(const StoredProxy &) = delete;
    StoredProxy &operator=(const StoredProxy &) = delete;

    static bool usesRegistry()
    {
#if defined(Q_OS_WIN)
        return true;
#else
        return false;
#endif
    }

    // As text: a string in the registry.
    bool set(const QString &name, const QString &text) const
    {
        return usesRegistry() ? m_registry.setText(name, text) : writeIni(Section, name, text, m_file);
    }
    bool setRaw(const QString &name, const UserRegistryKey::Value &value) const
    {
        return m_registry.setValue(name, value);
    }
    std::optional<UserRegistryKey::Value> raw(const QString &name) const
    {
        return m_registry.value(name);
    }
    QString get(const QString &name) const
    {
        return usesRegistry() ? m_registry.text(name).value_or(QString()) : IniFile(m_file).value(Section, name);
    }

    // Everything stored, byte for byte: the file, or both values with their types.
    QByteArray snapshot() const
    {
        if (!usesRegistry()) {
            QFile file(m_file);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }
        QByteArray all;
        for (const QString &name : Names) {
            const auto value = m_registry.value(name);
            all += value ? QByteArray::number(value->type) + ':' + value->data.toHex() + ';' : QByteArray("-;");
        }
        return all;
    }

private:
    QString m_file;
    UserRegistryKey m_registry{InternetSettings::registryKey()};
    QList<std::optional<UserRegistryKey::Value>> m_before;
};

} // namespace Trivet::Test
