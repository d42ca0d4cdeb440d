#include "common/platform/UserRegistry.h"

#include <QtEndian>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace Trivet {

UserRegistryKey::UserRegistryKey(QString path)
    : m_path(std::move(path))
{
}

#if defined(Q_OS_WIN)

namespace {

const wchar_t *wide(const QString &text)
{
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

// A key handle that is closed with its owner.
struct OpenKey
{
    HKEY handle = nullptr;
    ~OpenKey()
    {
        if (handle) {
            RegCloseKey(handle);
        }
    }
};

} // namespace

std::optional<UserRegistryKey::Value> UserRegistryKey::value(const QString &name) const
{
    OpenKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide(m_path), 0, KEY_QUERY_VALUE, &key.handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The value may grow between asking its size and reading it; then it is asked again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key.handle, wide(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        QByteArray data(qsizetype(size), Qt::Uninitialized);
        const LSTATUS read =
            RegQueryValueExW(key.handle, wide(name), nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size);
        if (read == ERROR_SUCCESS) {
            data.truncate(qsizetype(size));
            return Value{quint32(type), data};
        }
        if (read != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool UserRegistryKey::setValue(const QString &name, const Value &value) const
{
    OpenKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, wide(m_path), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key.handle, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExW(key.handle, wide(name), 0, DWORD(value.type),
                          reinterpret_cast<const BYTE *>(value.data.constData()),
                          DWORD(value.data.size())) == ERROR_SUCCESS;
}

bool UserRegistryKey::remove(const QString &name) const
{
    OpenKey key;
    const LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, wide(m_path), 0, KEY_SET_VALUE, &key.handle);
    if (opened == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (opened != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS removed = RegDeleteValueW(key.handle, wide(name));
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

#else

std::optional<UserRegistryKey::Value> UserRegistryKey::value(const QString &) const
{
    return std::nullopt;
}

bool UserRegistryKey::setValue(const QString &, const Value &) const
{
    return false;
}

bool UserRegistryKey::remove(const QString &) const
{
    return true;
}

#endif

std::optional<QString> UserRegistryKey::text(const QString &name) const
{
    const std::optional<Value> stored = value(name);
    if (!stored) {
        return std::nullopt;
    }
    const QByteArray &data = stored->data;
    switch (stored->type) {
    case String:
    case ExpandString:
    case MultiString: {
        // UTF-16, ended by a NUL that a careless writer may have left out.
        const QString all = QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData()), data.size() / 2);
        return all.left(all.indexOf(QChar::Null));
    }
    case Dword:
    case Qword:
    case Binary:
        if (data.size() == 4) {
            return QString::number(qFromLittleEndian<quint32>(data.constData()));
        }
        if (data.size() == 8) {
            return QString::number(qFromLittleEndian<quint64>(data.constData()));
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

bool UserRegistryKey::setText(const QString &name, const QString &text) const
{
    // With its ending NUL, as the registry's own programs store a string.
    const QByteArray data(reinterpret_cast<const char *>(text.utf16()), (text.size() + 1) * 2);
    return setValue(name, {String, data});
}

bool UserRegistryKey::setNumber(const QString &name, quint32 number) const
{
    QByteArray data(4, Qt::Uninitialized);
    qToLittleEndian(number, data.data());
    return setValue(name, {Dword, data});
}

} // namespace Trivet
