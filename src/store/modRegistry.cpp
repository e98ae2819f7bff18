#include "store/modRegistry.h"

#include <QRegularExpression>
#include <QSettings>

#include <cmath>
#include <optional>

const QString Registry::kAppKey = QStringLiteral("Software\\Quillfern\\Skimline");

namespace {

// Marks a key that exists without values; no encoded value name can look like it.
const QString kKeyMarker = QStringLiteral("%key");

const QString kString = QStringLiteral("sz:");
const QString kNumber = QStringLiteral("dword:");
const QString kBinary = QStringLiteral("hex:");

const QString kCannotCreate = QStringLiteral("Unable to create the registry key");
const QString kUnsupported = QStringLiteral("Unsupported value type");
const QString kCannotWrite = QStringLiteral("Unable to write the registry value");

// Value names may hold the characters the settings file uses between groups.
QString encodeName(const QString &name)
{
    QString out = name;
    out.replace(u'%', QStringLiteral("%25"));
    out.replace(u'/', QStringLiteral("%2F"));
    out.replace(u'\\', QStringLiteral("%5C"));
    return out;
}

QString decodeName(const QString &stored)
{
    QString out = stored;
    out.replace(QStringLiteral("%2F"), QStringLiteral("/"));
    out.replace(QStringLiteral("%5C"), QStringLiteral("\\"));
    out.replace(QStringLiteral("%25"), QStringLiteral("%"));
    return out;
}

QStringList keyNames(const QString &keyPath)
{
    QString p = keyPath;
    p.replace(u'/', u'\\');
    return p.split(u'\\', Qt::SkipEmptyParts);
}

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The stored spelling of the key's group path; nullopt when the key does not exist.
std::optional<QString> findGroup(QSettings &s, const QStringList &names)
{
    if (names.isEmpty())
        return QString();
    const QStringList all = s.allKeys();
    for (const QString &key : all) {
        const QStringList parts = key.split(u'/');
        if (parts.size() <= names.size())
            continue;
        bool match = true;
        for (qsizetype i = 0; match && i < names.size(); ++i)
            match = same(parts[i], names[i]);
        if (match)
            return parts.mid(0, names.size()).join(u'/');
    }
    return std::nullopt;
}

// A new key keeps the spelling of the part of its path that already exists.
QString groupForWrite(QSettings &s, const QStringList &names)
{
    for (qsizetype n = names.size(); n > 0; --n) {
        if (const auto found = findGroup(s, names.mid(0, n))) {
            QStringList rest = names.mid(n);
            rest.prepend(*found);
            return rest.join(u'/');
        }
    }
    return names.join(u'/');
}

// The stored key of a value inside a group; nullopt when missing.
std::optional<QString> findValue(QSettings &s, const QString &group, const QString &valueName)
{
    s.beginGroup(group);
    const QStringList keys = s.childKeys();
    s.endGroup();
    for (const QString &k : keys) {
        if (k != kKeyMarker && same(decodeName(k), valueName))
            return group.isEmpty() ? k : group + u'/' + k;
    }
    return std::nullopt;
}

struct FoundValue
{
    QString group;
    QString key;
};

// The group of the key and the stored key of the value; nullopt when either is missing.
std::optional<FoundValue> findKeyValue(QSettings &s, const QString &keyPath,
                                       const QString &valueName)
{
    const auto group = findGroup(s, keyNames(keyPath));
    if (!group)
        return std::nullopt;
    const auto key = findValue(s, *group, valueName);
    if (!key)
        return std::nullopt;
    return FoundValue{*group, *key};
}

QString toHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

std::optional<QByteArray> fromHex(const QString &text)
{
    static const QRegularExpression pairs(QStringLiteral("^([0-9A-Fa-f]{2})*$"));
    if (!pairs.match(text).hasMatch())
        return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

// The stored text of a value, or the error the write must give.
RegResult encodeValue(int type, const QVariant &value)
{
    switch (type) {
    case REG_SZ:
        if (value.typeId() == QMetaType::Bool)
            return RegResult::of(
                kString + (value.toBool() ? QStringLiteral("True") : QStringLiteral("False")));
        return RegResult::of(kString + value.toString());
    case REG_BINARY:
        return RegResult::of(kBinary + toHex(value.toByteArray()));
    case REG_DWORD: {
        if (value.typeId() == QMetaType::Bool)
            return RegResult::of(kNumber + QString::number(value.toBool() ? -1 : 0));
        if (!value.isValid() || value.isNull())
            return RegResult::of(kNumber + QStringLiteral("0"));
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return RegResult::failure(RegResult::kTypeMismatch, QStringLiteral("Type mismatch"));
        // The default rounding mode: halves go to the even neighbour.
        const double whole = std::nearbyint(d);
        // Whatever the caller's type, a 32-bit value: unsigned ones come back as their signed
        // counterpart.
        if (whole < -2147483648.0 || whole > 4294967295.0)
            return RegResult::failure(RegResult::kOverflow, QStringLiteral("Overflow"));
        const qint32 n = qint32(quint32(qint64(whole)));
        return RegResult::of(kNumber + QString::number(n));
    }
    default:
        return RegResult::failure(RegResult::kRegistryError, kUnsupported);
    }
}

RegResult decodeValue(const QString &stored)
{
    if (stored.startsWith(kString))
        return RegResult::of(stored.mid(kString.size()));
    if (stored.startsWith(kNumber)) {
        bool ok = false;
        const int n = stored.mid(kNumber.size()).toInt(&ok);
        if (ok)
            return RegResult::of(n);
    } else if (stored.startsWith(kBinary)) {
        if (const auto bytes = fromHex(stored.mid(kBinary.size())))
            return RegResult::of(*bytes);
    }
    return RegResult::failure(RegResult::kRegistryError, kUnsupported);
}

bool isEmptyValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return true;
    if (v.typeId() == QMetaType::QString)
        return v.toString().isEmpty();
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray().isEmpty();
    return false;
}

} // namespace

QString Registry::fileName(RegRoot root) const
{
    return root == RegRoot::HKCU ? m_userFile : m_machineFile;
}

bool Registry::RegKeyExists(RegRoot root, const QString &keyPath) const
{
    QSettings s(fileName(root), QSettings::IniFormat);
    return findGroup(s, keyNames(keyPath)).has_value();
}

RegResult Registry::RegCreateKey(RegRoot root, const QString &keyPath)
{
    QSettings s(fileName(root), QSettings::IniFormat);
    const QStringList names = keyNames(keyPath);
    if (findGroup(s, names))
        return RegResult::of(true);
    if (names.isEmpty())
        return RegResult::of(true);
    s.setValue(groupForWrite(s, names) + u'/' + kKeyMarker, QString());
    s.sync();
    if (s.status() != QSettings::NoError)
        return RegResult::failure(RegResult::kRegistryError, kCannotCreate);
    return RegResult::of(false);
}

RegResult Registry::RegQueryValue(RegRoot root, const QString &keyPath, const QString &valueName,
                                  int type) const
{
    if (type != REG_SZ && type != REG_BINARY && type != REG_DWORD)
        return RegResult::failure(RegResult::kRegistryError, kUnsupported);
    QSettings s(fileName(root), QSettings::IniFormat);
    const auto found = findKeyValue(s, keyPath, valueName);
    return found ? decodeValue(s.value(found->key).toString()) : RegResult();
}

RegResult Registry::stageValue(QSettings &s, const QString &keyPath, const QString &valueName,
                               int type, const QVariant &value, bool &changed)
{
    const RegResult encoded = encodeValue(type, value);
    if (!encoded.ok())
        return encoded;
    const QStringList names = keyNames(keyPath);
    const QString group = findGroup(s, names).value_or(groupForWrite(s, names));
    const std::optional<QString> existing = findValue(s, group, valueName);
    const QString text = encoded.value.toString();
    if (existing && s.value(*existing).toString() == text)
        return {};
    s.setValue(
        existing.value_or((group.isEmpty() ? QString() : group + u'/') + encodeName(valueName)),
        text);
    changed = true;
    return {};
}

RegResult Registry::RegWriteValue(RegRoot root, const QString &keyPath, const QString &valueName,
                                  int type, const QVariant &value)
{
    QSettings s(fileName(root), QSettings::IniFormat);
    bool changed = false;
    const RegResult staged = stageValue(s, keyPath, valueName, type, value, changed);
    // An unchanged value costs no write of the file.
    if (!staged.ok() || !changed)
        return staged;
    s.sync();
    if (s.status() != QSettings::NoError)
        return RegResult::failure(RegResult::kRegistryError, kCannotWrite);
    return {};
}

RegResult Registry::RegSaveAppValues(RegRoot root, const QList<RegAppValue> &values)
{
    QSettings s(fileName(root), QSettings::IniFormat);
    bool changed = false;
    RegResult result;
    for (const RegAppValue &v : values) {
        result = stageValue(s, kAppKey, v.name, v.type, v.value, changed);
        if (!result.ok())
            break;
    }
    if (!changed)
        return result;
    s.sync();
    if (s.status() != QSettings::NoError)
        return RegResult::failure(RegResult::kRegistryError, kCannotWrite);
    return result;
}

RegResult Registry::RegDeleteValue(RegRoot root, const QString &keyPath, const QString &valueName)
{
    QSettings s(fileName(root), QSettings::IniFormat);
    const auto found = findKeyValue(s, keyPath, valueName);
    if (!found)
        return {};
    s.beginGroup(found->group);
    const bool lastValue = s.childKeys().size() == 1 && s.childGroups().isEmpty();
    s.endGroup();
    // The key stays when its last value goes, as a registry key does.
    if (lastValue && !found->group.isEmpty())
        s.setValue(found->group + u'/' + kKeyMarker, QString());
    s.remove(found->key);
    s.sync();
    if (s.status() != QSettings::NoError)
        return RegResult::failure(RegResult::kRegistryError, kCannotWrite);
    return {};
}

RegResult Registry::RegSaveAppValue(const QString &valueName, const QVariant &value, RegRoot root,
                                    int type)
{
    return RegWriteValue(root, kAppKey, valueName, type, value);
}

RegResult Registry::RegGetAppValue(const QString &valueName, RegRoot root, int type,
                                   const QVariant &defaultValue) const
{
    RegResult r = RegQueryValue(root, kAppKey, valueName, type);
    if (r.ok() && isEmptyValue(r.value))
        r.value = defaultValue;
    return r;
}
