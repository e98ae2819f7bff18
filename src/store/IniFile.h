#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A profile (INI) file as the classic profile functions see it: "[section]" headers, "key=value"
// lines, section and key names compared without regard to case, the first of duplicate names
// winning, blanks around names and values ignored, a value in matching quotes read without them.
// Every other line (comments, stray text) is kept as it is when the file is written back, and so
// are the file's encoding (UTF-8, or UTF-16 LE with its byte-order mark) and its line ends.
class IniFile
{
public:
    explicit IniFile(QString path) : m_path(std::move(path)) {}

    // A missing file loads as an empty one; false only when an existing file cannot be read.
    [[nodiscard]] bool load();
    [[nodiscard]] bool save() const;

    QStringList sections() const;
    // Key names of a section in file order; empty when the section is missing.
    QStringList keys(const QString &section) const;
    // The section's "key=value" lines as stored (names and values trimmed).
    QStringList entries(const QString &section) const;
    bool hasSection(const QString &section) const;
    std::optional<QString> value(const QString &section, const QString &key) const;

    // Creates the section (at the end) and the key (after the section's last line) when missing.
    void setValue(const QString &section, const QString &key, const QString &value);
    // False when there was nothing to remove.
    bool removeKey(const QString &section, const QString &key);
    bool removeSection(const QString &section);
    // The section's body becomes exactly these lines; the section is created when missing.
    void replaceSection(const QString &section, const QStringList &lines);

private:
    struct Range
    {
        qsizetype header = -1; // line index of "[section]"
        qsizetype end = -1;    // one past the section's last line
    };
    Range find(const QString &section) const;
    qsizetype findKey(const Range &range, const QString &key) const;
    qsizetype lastContentLine(const Range &range) const;
    Range appendSection(const QString &section);

    QString m_path;
    QStringList m_lines;
    bool m_utf16 = false;
    bool m_utf8Bom = false;
    QString m_eol = QStringLiteral("\r\n");
};
