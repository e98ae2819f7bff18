#include "store/cFile.h"

#include "store/ErrorLog.h"
#include "store/IniFile.h"
#include "store/Recordset.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QUrl>

const QString cFile::kInvalidCharacters = QStringLiteral(":'\\\\/*?|\"");

namespace {

constexpr int kMaxFilenameLength = 255;
// Buffer sizes of the profile reads behind INIGetBoolean and INIGetInt/INIGetLong.
constexpr int kBooleanBuffer = 24;
constexpr int kNumberBuffer = 30;

QString trimBlanks(const QString &s)
{
    qsizetype start = 0;
    qsizetype end = s.size();
    while (start < end && s[start] == u' ')
        ++start;
    while (end > start && s[end - 1] == u' ')
        --end;
    return s.mid(start, end - start);
}

// Options are text; a flag reads back as the platform writes it.
QString optionText(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return value.toString();
}

QString quoted(const QString &value)
{
    return u'\'' + FilterText(value) + u'\'';
}

std::optional<IniFile> loadIni(const QString &file)
{
    IniFile ini(file);
    if (!ini.load())
        return std::nullopt;
    return ini;
}

// The profile reader's list form: every item NUL-terminated, one more NUL at the end. It reports
// bufferLength - 2 when the list is cut, which callers cannot tell from a list that just fits.
IniResult listResult(const QStringList &items, int bufferLength)
{
    qsizetype needed = 0;
    for (const QString &item : items)
        needed += item.size() + 1;
    if (needed + 1 > bufferLength || needed == bufferLength - 2)
        return IniResult{QString(), IniResult::kDoesNotFit};
    return IniResult{items.join(QChar(0)), 0};
}

// The key's text, or the default when the key is absent, cut to the buffer.
QString profileString(const IniFile &ini, const QString &section, const QString &key,
                      const QString &defaultValue, int bufferLength)
{
    const QString v = ini.value(section, key).value_or(defaultValue);
    return v.left(qMax(0, bufferLength - 1));
}

// The number parse of the profile reader: optional sign, an optional 0x/0o/0b base prefix, the
// digits up to the first that does not belong, wrapping at 32 bits.
quint32 parseProfileNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == u'0') {
        const QChar p = text[i + 1].toLower();
        if (p == u'x' || p == u'o' || p == u'b') {
            base = p == u'x' ? 16 : p == u'o' ? 8 : 2;
            i += 2;
        }
    }
    quint32 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'z')
            digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'Z')
            digit = u - u'A' + 10;
        if (digit < 0 || digit >= base)
            break;
        value = value * quint32(base) + quint32(digit);
    }
    return negative ? quint32(0) - value : value;
}

qint32 profileNumber(const QString &section, const QString &key, qint32 defaultValue,
                     const QString &file)
{
    const auto ini = loadIni(file);
    if (!ini)
        return defaultValue;
    const QString v = profileString(*ini, section, key, QString(), kNumberBuffer);
    if (v.isEmpty())
        return defaultValue;
    return qint32(parseProfileNumber(v));
}

// Empty unless the URL names a file on this machine: a file URL's host other than localhost
// would be a network share, which has no path here.
QString localPath(const QString &url, QUrl::ParsingMode mode)
{
    QUrl u(url, mode);
    if (!u.isValid() || !u.isLocalFile())
        return QString();
    if (u.host().compare(u"localhost", Qt::CaseInsensitive) == 0)
        u.setHost(QString());
    if (!u.host().isEmpty())
        return QString();
    return u.toLocalFile();
}

} // namespace

cFile::cFile(InputBox inputBox, Recordset *rsOptions)
    : m_inputBox(std::move(inputBox)), m_rsOptions(rsOptions),
      m_invalidFilenameMessage(
          QStringLiteral(
              "Please enter a valid filename! Do not use the following invalid characters: ") +
          kInvalidCharacters)
{}

bool cFile::DeleteFile(const QString &path)
{
    if (!QFile::exists(path))
        return true;
    if (QFile::moveToTrash(path))
        return true;
    return QFile::remove(path);
}

bool cFile::WriteVariableToFile(const QString &text, const QString &path, bool ownerOnly)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (ownerOnly && !f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    QByteArray bytes("\xFF\xFE", 2);
    bytes += QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    return f.write(bytes) == bytes.size() && f.commit();
}

QString cFile::ReadFileToVariable(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.contains('\0'))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
    return QString::fromUtf8(bytes);
}

std::optional<QString> cFile::ValidFilename(const QString &name)
{
    QString result = trimBlanks(name);
    while (result.isEmpty()) {
        if (!m_inputBox)
            return std::nullopt;
        const std::optional<QString> answer = m_inputBox(m_invalidFilenameMessage);
        if (!answer)
            return std::nullopt;
        result = trimBlanks(*answer);
    }
    result.truncate(kMaxFilenameLength);
    result.remove(u'"');
    return RegExReplace(result, u'[' + kInvalidCharacters + u']', QStringLiteral("-"));
}

bool cFile::AppendStrToFile(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = text.toUtf8();
    return f.write(bytes) == bytes.size();
}

bool cFile::SetOption(const QString &key, const QVariant &value)
{
    if (!m_rsOptions || !m_rsOptions->State())
        return false;
    // A cursor of its own: a filter someone left on the shared one would hide options from
    // the search and from the save, which writes the visible records only.
    Recordset rs = m_rsOptions->Clone();
    bool ok = true;
    if (rs.Find(QStringLiteral("key = ") + quoted(key))) {
        ok = rs.SetField(QStringLiteral("value"), optionText(value));
        rs.Update();
    } else {
        ok = rs.AddNew({QStringLiteral("key"), QStringLiteral("value")}, {key, optionText(value)});
    }
    // Written even after a refused value, as every option write saves the whole store.
    const bool saved = rs.Save();
    return ok && saved;
}

QVariant cFile::GetOption(const QString &key, const QVariant &defaultValue)
{
    if (!m_rsOptions || !m_rsOptions->State())
        return defaultValue;
    Recordset rs = m_rsOptions->Clone();
    if (!rs.Find(QStringLiteral("key = ") + quoted(key)))
        return defaultValue;
    return rs.Field(QStringLiteral("value")).toString();
}

bool cFile::INIDeleteSection(const QString &section, const QString &file)
{
    auto ini = loadIni(file);
    if (!ini)
        return false;
    return !ini->removeSection(section) || ini->save();
}

bool cFile::INIDeleteKey(const QString &section, const QString &key, const QString &file)
{
    auto ini = loadIni(file);
    if (!ini)
        return false;
    return !ini->removeKey(section, key) || ini->save();
}

IniResult cFile::INIEnumKeys(const QString &section, int bufferLength, const QString &file)
{
    const auto ini = loadIni(file);
    return listResult(ini ? ini->keys(section) : QStringList(), bufferLength);
}

IniResult cFile::INIEnumSections(int bufferLength, const QString &file)
{
    const auto ini = loadIni(file);
    return listResult(ini ? ini->sections() : QStringList(), bufferLength);
}

IniResult cFile::INIGetSection(const QString &section, int bufferLength, const QString &file)
{
    const auto ini = loadIni(file);
    return listResult(ini ? ini->entries(section) : QStringList(), bufferLength);
}

bool cFile::INIWriteSection(const QString &section, const QString &file, const QString &text)
{
    auto ini = loadIni(file);
    if (!ini)
        return false;
    QStringList lines = text.split(QChar(0));
    // The text ends in NUL (or two): no empty lines from that.
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    ini->replaceSection(section, lines);
    return ini->save();
}

bool cFile::INIGetBoolean(const QString &section, const QString &key, bool defaultValue,
                          const QString &file)
{
    const auto ini = loadIni(file);
    if (!ini)
        return defaultValue;
    const QString text =
        profileString(*ini, section, key,
                      defaultValue ? QStringLiteral("True") : QStringLiteral("False"),
                      kBooleanBuffer)
            .toLower();
    if (text == u"false" || text == u"0")
        return false;
    if (text == u"true" || text == u"-1" || text == u"1")
        return true;
    return defaultValue;
}

std::optional<qint16> cFile::INIGetInt(const QString &section, const QString &key, int defaultValue,
                                       const QString &file)
{
    const qint32 v = profileNumber(section, key, defaultValue, file);
    if (v > 32767 || v < -32768)
        return std::nullopt;
    return qint16(v);
}

qint32 cFile::INIGetLong(const QString &section, const QString &key, qint32 defaultValue,
                         const QString &file)
{
    return profileNumber(section, key, defaultValue, file);
}

IniResult cFile::INIGetString(const QString &section, const QString &key, int bufferLength,
                              const QString &defaultValue, const QString &file)
{
    const auto ini = loadIni(file);
    const QString v = ini ? profileString(*ini, section, key, defaultValue, bufferLength)
                          : defaultValue.left(qMax(0, bufferLength - 1));
    if (bufferLength <= 0 || v.size() == bufferLength - 1)
        return IniResult{QString(), IniResult::kDoesNotFit};
    return IniResult{v, 0};
}

bool cFile::INIWriteString(const QString &section, const QString &key, const QString &text,
                           const QString &file)
{
    auto ini = loadIni(file);
    if (!ini)
        return false;
    ini->setValue(section, key, text);
    return ini->save();
}

QString cFile::WinPathfromURL(const QString &url) const
{
    return localPath(url, QUrl::TolerantMode);
}

std::optional<QString> RegExReplace(const QString &text, const QString &pattern,
                                    const QString &replacement)
{
    const QRegularExpression re(pattern, QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::MultilineOption);
    if (!re.isValid())
        return std::nullopt;
    QString out;
    qsizetype last = 0;
    auto it = re.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        for (qsizetype i = 0; i < replacement.size(); ++i) {
            const QChar c = replacement[i];
            if (c != u'$' || i + 1 >= replacement.size()) {
                out += c;
                continue;
            }
            const QChar next = replacement[i + 1];
            if (next == u'$') {
                out += u'$';
                ++i;
            } else if (next == u'&') {
                out += m.captured(0);
                ++i;
            } else if (next.isDigit() && next != u'0') {
                int group = next.digitValue();
                qsizetype used = 1;
                // Two digits when that group exists, as in the scripting engines.
                if (i + 2 < replacement.size() && replacement[i + 2].isDigit()) {
                    const int two = group * 10 + replacement[i + 2].digitValue();
                    if (two <= re.captureCount()) {
                        group = two;
                        used = 2;
                    }
                }
                if (group <= re.captureCount()) {
                    out += m.captured(group);
                    i += used;
                } else {
                    out += c;
                }
            } else {
                out += c;
            }
        }
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

std::optional<QString> PathFromUrl(const QString &url,
                                   const std::function<void(const QString &)> &messageBox,
                                   const ErrorLog *log)
{
    const QString path = localPath(url, QUrl::StrictMode);
    if (!path.isEmpty())
        return path;
    if (messageBox)
        messageBox(QStringLiteral("Failed to create path from url ") + url);
    if (log)
        log->LogError(QStringLiteral("Not a local file URL"),
                      QStringLiteral(" PathCreateFromUrl ") + url);
    return std::nullopt;
}
