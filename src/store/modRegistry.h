#pragma once

#include <QList>
#include <QString>
#include <QVariant>

class QSettings;

// The two hives: the current user's and the machine's stand-in (per user on this platform).
enum class RegRoot { HKCU, HKLM };

// Value types the program stores.
enum RegType : int { REG_SZ = 1, REG_BINARY = 3, REG_DWORD = 4 };

// What a registry routine gives back: a value (QString for REG_SZ, QByteArray for REG_BINARY,
// int for REG_DWORD, bool for RegCreateKey; invalid when there is none) or an error the caller
// sees instead of a raised one.
struct RegResult
{
    static constexpr int kRegistryError = 1001; // "Unable to create the registry key", ...
    static constexpr int kOverflow = 6;
    static constexpr int kTypeMismatch = 13;

    QVariant value;
    int error = 0;
    QString description;

    bool ok() const { return error == 0; }
    static RegResult of(QVariant v)
    {
        RegResult r;
        r.value = std::move(v);
        return r;
    }
    static RegResult failure(int number, const QString &text) { return {QVariant(), number, text}; }
};

// One value of the program's own key, for writing several at once.
struct RegAppValue
{
    QString name;
    QVariant value;
    int type = 1; // REG_SZ
};

// Registry values kept in two INI files, one per hive. Key paths use "\" between names; key and
// value names compare without regard to case, as in the registry. Each value is stored with its
// type ("sz:", "dword:", "hex:") so that it reads back as it was written. Strings and binary
// values of any length round-trip unchanged.
//
// One object per program, made at start with the two file paths and passed to who needs it.
class Registry
{
public:
    // The program's own key, gsRegKey.
    static const QString kAppKey;

    Registry(QString userHiveFile, QString machineHiveFile)
        : m_userFile(std::move(userHiveFile)), m_machineFile(std::move(machineHiveFile))
    {}
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    QString fileName(RegRoot root) const;

    bool RegKeyExists(RegRoot root, const QString &keyPath) const;
    // value: true when the key was already there.
    [[nodiscard]] RegResult RegCreateKey(RegRoot root, const QString &keyPath);
    // An empty value when the key or the value is missing.
    [[nodiscard]] RegResult RegQueryValue(RegRoot root, const QString &keyPath,
                                          const QString &valueName, int type) const;
    // A REG_DWORD written from a fractional number is rounded (halves to even); true is -1.
    // A REG_SZ written from a Boolean is "True" or "False".
    [[nodiscard]] RegResult RegWriteValue(RegRoot root, const QString &keyPath,
                                          const QString &valueName, int type,
                                          const QVariant &value);
    // Nothing happens (and no error) when the key or the value is missing.
    [[nodiscard]] RegResult RegDeleteValue(RegRoot root, const QString &keyPath,
                                           const QString &valueName);

    // The same under the program's own key.
    [[nodiscard]] RegResult RegSaveAppValue(const QString &valueName, const QVariant &value,
                                            RegRoot root, int type);
    // Several values of the program's key with one write of the hive's file; the first error
    // comes back and stops the rest.
    [[nodiscard]] RegResult RegSaveAppValues(RegRoot root, const QList<RegAppValue> &values);
    // The default when the value is missing or empty (an error still comes back as one).
    [[nodiscard]] RegResult RegGetAppValue(const QString &valueName, RegRoot root, int type,
                                           const QVariant &defaultValue) const;

private:
    // Stages the value in s; false when it is already stored as it is (nothing to write).
    static RegResult stageValue(QSettings &s, const QString &keyPath, const QString &valueName,
                                int type, const QVariant &value, bool &changed);

    QString m_userFile;
    QString m_machineFile;
};
