#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class ErrorLog;
class Recordset;

// What an INI list or string read gives back: the text, or the error value 1 when the result
// did not fit the buffer length the caller allowed.
struct IniResult
{
    static constexpr int kDoesNotFit = 1;
    QString text;
    int error = 0;
    bool ok() const { return error == 0; }
};

// Files, options and profile files: one shared instance (gFile) made at start.
class cFile
{
public:
    // Asks the user for a name; nullopt when the user cancels.
    using InputBox = std::function<std::optional<QString>(const QString &prompt)>;

    // The characters a file name may not hold, as the body of a regular-expression class (the
    // doubled backslash stands for one).
    static const QString kInvalidCharacters;

    explicit cFile(InputBox inputBox = {}, Recordset *rsOptions = nullptr);

    void setInputBox(InputBox inputBox) { m_inputBox = std::move(inputBox); }
    // The options store that GetOption and SetOption work on; it must outlive this object.
    void setOptionsStore(Recordset *rsOptions) { m_rsOptions = rsOptions; }
    const QString &invalidFilenameMessage() const { return m_invalidFilenameMessage; }

    // Moves the file to the desktop trash; when there is no trash for it, deletes it outright so
    // that a caller rotating files still finds the name free. False when the file stays.
    [[nodiscard]] bool DeleteFile(const QString &path);
    // UTF-16 LE with a byte-order mark, replacing the file whole; ownerOnly for what users
    // typed (mode 0600 from the first byte on).
    [[nodiscard]] bool WriteVariableToFile(const QString &text, const QString &path,
                                           bool ownerOnly = false);
    // The whole file as UTF-16 (byte-order mark honoured and dropped; without one, UTF-16 LE
    // when the bytes hold a NUL, else UTF-8); empty when missing or unreadable.
    QString ReadFileToVariable(const QString &path);
    // Trimmed, at most 255 characters, double quotes removed, every other invalid character
    // replaced by "-". An empty name asks through the input box until it gets one; nullopt when
    // the user cancels (or no input box was given), and the caller then drops its operation.
    [[nodiscard]] std::optional<QString> ValidFilename(const QString &name);
    // Appends the text unchanged in the system code page (UTF-8), creating the file.
    [[nodiscard]] bool AppendStrToFile(const QString &path, const QString &text);

    // Writes one option as text (a flag as "True" or "False") and saves the options store. False
    // when there is no open options store or the record or the save failed.
    [[nodiscard]] bool SetOption(const QString &key, const QVariant &value);
    // The option's text; the default (an empty value when none is given) when the key is
    // missing or there is no options store.
    QVariant GetOption(const QString &key, const QVariant &defaultValue = QVariant());

    // Profile (INI) files. The write operations return false when the file could not be read
    // or written; removing what is not there succeeds.
    [[nodiscard]] bool INIDeleteSection(const QString &section, const QString &file);
    [[nodiscard]] bool INIDeleteKey(const QString &section, const QString &key,
                                    const QString &file);
    // Lists hold their items separated by NUL characters. As with a buffer of bufferLength
    // characters, the error value comes back when the items with their NULs and the closing NUL
    // need more than bufferLength characters, or exactly bufferLength - 1.
    [[nodiscard]] IniResult INIEnumKeys(const QString &section, int bufferLength,
                                        const QString &file);
    [[nodiscard]] IniResult INIEnumSections(int bufferLength, const QString &file);
    [[nodiscard]] IniResult INIGetSection(const QString &section, int bufferLength,
                                          const QString &file);
    // text: the section's new "key=value" lines separated by NUL characters.
    [[nodiscard]] bool INIWriteSection(const QString &section, const QString &file,
                                       const QString &text);
    bool INIGetBoolean(const QString &section, const QString &key, bool defaultValue,
                       const QString &file);
    // nullopt when the number does not fit 16 bits (overflow).
    [[nodiscard]] std::optional<qint16> INIGetInt(const QString &section, const QString &key,
                                                  int defaultValue, const QString &file);
    qint32 INIGetLong(const QString &section, const QString &key, qint32 defaultValue,
                      const QString &file);
    // The error value when the text (or the default) has bufferLength - 1 characters or more.
    [[nodiscard]] IniResult INIGetString(const QString &section, const QString &key,
                                         int bufferLength, const QString &defaultValue,
                                         const QString &file);
    [[nodiscard]] bool INIWriteString(const QString &section, const QString &key,
                                      const QString &text, const QString &file);

    // A file URL's local path; empty for anything that is not a local file URL.
    QString WinPathfromURL(const QString &url) const;

private:
    InputBox m_inputBox;
    Recordset *m_rsOptions = nullptr;
    QString m_invalidFilenameMessage;
};

// Replaces every match, case-insensitive and multi-line. The replacement may refer to the match
// as $& and to groups as $1 … $99; $$ is a dollar sign. nullopt when the pattern is invalid.
[[nodiscard]] std::optional<QString> RegExReplace(const QString &text, const QString &pattern,
                                                  const QString &replacement);

// A file URL's local path. On failure the user is told through messageBox ("Failed to create
// path from url " + url), the error log gets an entry, and nullopt comes back.
[[nodiscard]] std::optional<QString>
PathFromUrl(const QString &url, const std::function<void(const QString &)> &messageBox = {},
            const ErrorLog *log = nullptr);
