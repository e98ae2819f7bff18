#include "store/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// "[name]" → name; nullopt for any other line.
std::optional<QString> sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
}

bool isComment(const QString &trimmed)
{
    return trimmed.startsWith(u';');
}

// "key = value" → key; nullopt for comments and lines without '='.
std::optional<QString> keyName(const QString &line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || isComment(t) || t.startsWith(u'['))
        return std::nullopt;
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    return t.left(eq).trimmed();
}

QString rawValue(const QString &line)
{
    return line.mid(line.indexOf(u'=') + 1).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

bool IniFile::load()
{
    m_lines.clear();
    m_utf16 = false;
    m_utf8Bom = false;
    m_eol = QStringLiteral("\r\n");
    QFile f(m_path);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        m_utf16 = true;
        text = QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_utf8Bom = true;
        text = QString::fromUtf8(bytes.mid(3));
    } else {
        text = QString::fromUtf8(bytes);
    }
    if (!text.isEmpty() && !text.contains(QStringLiteral("\r\n")) && text.contains(u'\n'))
        m_eol = QStringLiteral("\n");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_lines = text.split(u'\n');
    // A final line end leaves one empty piece that is not a line of its own.
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
    return true;
}

bool IniFile::save() const
{
    QString text;
    for (const QString &line : m_lines)
        text += line + m_eol;
    QByteArray bytes;
    if (m_utf16) {
        bytes = QByteArray("\xFF\xFE", 2);
        bytes += QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    } else {
        if (m_utf8Bom)
            bytes = QByteArray("\xEF\xBB\xBF", 3);
        bytes += text.toUtf8();
    }
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size() && f.commit();
}

IniFile::Range IniFile::find(const QString &section) const
{
    Range r;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i]);
        if (!name)
            continue;
        if (r.header >= 0) {
            r.end = i;
            return r;
        }
        if (sameName(*name, section))
            r.header = i;
    }
    if (r.header >= 0)
        r.end = m_lines.size();
    return r;
}

qsizetype IniFile::findKey(const Range &range, const QString &key) const
{
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const auto name = keyName(m_lines[i]);
        if (name && sameName(*name, key))
            return i;
    }
    return -1;
}

qsizetype IniFile::lastContentLine(const Range &range) const
{
    qsizetype last = range.header;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (!m_lines[i].trimmed().isEmpty())
            last = i;
    }
    return last;
}

IniFile::Range IniFile::appendSection(const QString &section)
{
    m_lines.append(u'[' + section + u']');
    return Range{m_lines.size() - 1, m_lines.size()};
}

QStringList IniFile::sections() const
{
    QStringList out;
    for (const QString &line : m_lines) {
        if (const auto name = sectionName(line))
            out.append(*name);
    }
    return out;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList out;
    const Range r = find(section);
    for (qsizetype i = r.header + 1; r.header >= 0 && i < r.end; ++i) {
        if (const auto name = keyName(m_lines[i]))
            out.append(*name);
    }
    return out;
}

QStringList IniFile::entries(const QString &section) const
{
    QStringList out;
    const Range r = find(section);
    for (qsizetype i = r.header + 1; r.header >= 0 && i < r.end; ++i) {
        if (const auto name = keyName(m_lines[i]))
            out.append(*name + u'=' + rawValue(m_lines[i]));
    }
    return out;
}

bool IniFile::hasSection(const QString &section) const
{
    return find(section).header >= 0;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const Range r = find(section);
    if (r.header < 0)
        return std::nullopt;
    const qsizetype i = findKey(r, key);
    if (i < 0)
        return std::nullopt;
    QString v = rawValue(m_lines[i]);
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    Range r = find(section);
    if (r.header < 0)
        r = appendSection(section);
    const QString line = key + u'=' + value;
    const qsizetype i = findKey(r, key);
    if (i >= 0) {
        // Keep the spelling of the name already in the file.
        m_lines[i] = *keyName(m_lines[i]) + u'=' + value;
        return;
    }
    m_lines.insert(lastContentLine(r) + 1, line);
}

bool IniFile::removeKey(const QString &section, const QString &key)
{
    const Range r = find(section);
    if (r.header < 0)
        return false;
    const qsizetype i = findKey(r, key);
    if (i < 0)
        return false;
    m_lines.removeAt(i);
    return true;
}

bool IniFile::removeSection(const QString &section)
{
    const Range r = find(section);
    if (r.header < 0)
        return false;
    m_lines.remove(r.header, r.end - r.header);
    return true;
}

void IniFile::replaceSection(const QString &section, const QStringList &lines)
{
    Range r = find(section);
    if (r.header < 0)
        r = appendSection(section);
    m_lines.remove(r.header + 1, r.end - r.header - 1);
    for (qsizetype i = 0; i < lines.size(); ++i)
        m_lines.insert(r.header + 1 + i, lines[i]);
}
