#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace Trivet {

// One key of the current user's registry (HKEY_CURRENT_USER), by its path below it. Only Windows has a
// registry: elsewhere no value is there and every write fails.
class UserRegistryKey final
{
public:
    // The value types this code reads and writes, by their registry numbers.
    enum Type : quint32 {
        String = 1,       // REG_SZ
        ExpandString = 2, // REG_EXPAND_SZ
        Binary = 3,       // REG_BINARY
        Dword = 4,        // REG_DWORD
        MultiString = 7,  // REG_MULTI_SZ
        Qword = 11,       // REG_QWORD
    };
    // A value as it is stored: its type and its bytes.
    struct Value
    {
        quint32 type = String;
        QByteArray data;
        bool operator==(const Value &) const = default;
    };

    explicit UserRegistryKey(QString path);

    std::optional<Value> value(const QString &name) const; // nullopt when absent
    bool setValue(const QString &name, const Value &value) const;
    bool remove(const QString &name) const; // true when the value is gone, or was never there

    // The value as text whatever its type: a string up to its end (the first one of a list), a number of four or
    // eight bytes (DWORD, QWORD, or binary data of that size) in decimal. nullopt when absent or none of these.
    std::optional<QString> text(const QString &name) const;
    bool setText(const QString &name, const QString &text) const; // as REG_SZ
    bool setNumber(const QString &name, quint32 number) const;    // as REG_DWORD

private:
    QString m_path;
};

} // namespace Trivet
