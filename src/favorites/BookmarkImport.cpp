#include "favorites/BookmarkImport.h"

#include "store/DateValue.h"
#include "store/Recordset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimeZone>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>

namespace {

constexpr int kMaxText = 255;
const QString kLinks = "Links";
const QString kOther = "Other Bookmarks";
const QString kMobile = "Mobile Bookmarks";

const char kDamaged[] = "The bookmarks file %1 is damaged: %2";

// Every message names the file, so that the user can find it.
QString fileError(const char *message, const QString &file, const QString &why = QString())
{
    const QString text = QString::fromUtf8(message), path = QDir::toNativeSeparators(file);
    return text.contains("%2") ? text.arg(path, why) : text.arg(path);
}

// "\" separates the parts of a folder path, so it cannot stay inside a name.
QString joinPath(const QStringList &parts)
{
    QStringList kept;
    for (const QString &part : parts) {
        const QString clean = part.trimmed().replace('\\', '-');
        if (!clean.isEmpty())
            kept.append(clean);
    }
    QString path = kept.join('\\').left(kMaxText);
    while (path.endsWith('\\'))
        path.chop(1);
    return path;
}

bool importable(const QString &url)
{
    const QString scheme = QUrl(url).scheme().toLower();
    return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "file";
}

double fromUnixMs(qint64 ms)
{
    return ms > 0 ? DateValue::fromDateTime(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()))
                  : 0;
}

// An export's seconds; a count that overflows as milliseconds is no date.
double fromUnixSeconds(qint64 s)
{
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 1000;
    return s <= kLimit && s >= -kLimit ? fromUnixMs(s * 1000) : 0;
}

// A folder's place in our scheme: its path parts and whether it lies in the toolbar.
struct Place
{
    QStringList parts;
    bool quick = false;
    Place child(const QString &name) const { return {parts + QStringList{name}, quick}; }
};

void append(QList<ImportedBookmark> &out, const Place &place, const QString &title,
            const QString &url, const QString &description, double date, bool home = false)
{
    if (importable(url)) // not about:, javascript:, place: or data:
        out.append({joinPath(place.parts),
                    (title.trimmed().isEmpty() ? url : title.trimmed()).left(kMaxText), url,
                    description.trimmed(), date, place.quick, home});
}

// Folders together, each in its own order; stable so that each reader's order within a folder
// stays.
BookmarkImport finished(const QString &source, QList<ImportedBookmark> list)
{
    std::stable_sort(list.begin(), list.end(), [](const auto &a, const auto &b) {
        return a.keywords.compare(b.keywords, Qt::CaseInsensitive) < 0;
    });
    return {true, source, QString(), list};
}

BookmarkImport failed(const QString &source, const QString &error)
{
    return {false, source, error, {}};
}

// Closes the copy and finalizes the statement however the reading ends.
struct Sqlite
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;
    ~Sqlite()
    {
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
    }
    bool prepare(const QByteArray &sql)
    {
        sqlite3_finalize(std::exchange(st, nullptr));
        return sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK;
    }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, column)));
    }
};

QString defaultProfile(const QString &firefoxDir)
{
    const QDir dir(firefoxDir);
    QList<QPair<QString, QHash<QString, QString>>> sections; // in file order: the first wins
    QFile file(dir.filePath("profiles.ini"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QByteArray &raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            const qsizetype eq = line.indexOf('=');
            if (line.startsWith('[') && line.endsWith(']'))
                sections.append({line.mid(1, line.size() - 2), {}});
            else if (eq > 0 && !sections.isEmpty())
                sections.last().second.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        }
    }
    // The profile this installation last used, then the one marked as the default.
    for (const auto &[name, keys] : sections) {
        if (name.startsWith("Install") && !keys.value("Default").isEmpty())
            return dir.filePath(keys.value("Default"));
    }
    const QHash<QString, QString> *pick = nullptr;
    for (const auto &[name, keys] : sections) {
        if (name.startsWith("Profile") &&
            (!pick || (keys.value("Default") == "1" && pick->value("Default") != "1")))
            pick = &keys;
    }
    if (!pick || pick->value("Path").isEmpty())
        return QString();
    const QString path = pick->value("Path");
    return pick->value("IsRelative", "1") == "1" ? dir.filePath(path) : path;
}

// user.js is applied after prefs.js, so its value wins.
QString firefoxHomePage(const QDir &profile)
{
    static const QRegularExpression pref(QStringLiteral(
        R"re(user_pref\(\s*"browser\.startup\.homepage"\s*,\s*"((?:[^"\\]|\\.)*)"\s*\))re"));
    QString home;
    for (const char *name : {"prefs.js", "user.js"}) {
        QFile file(profile.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto it = pref.globalMatch(text); it.hasNext();)
            home = it.next().captured(1);
    }
    home.replace("\\\"", "\"").replace("\\\\", "\\");
    return home.section('|', 0, 0).trimmed();
}

constexpr qint64 kUnixFrom1601Us = 11644473600000000LL;

void readChromiumNode(const QJsonObject &node, const Place &place, QList<ImportedBookmark> &out)
{
    const QString type = node.value("type").toString();
    if (type == "folder") {
        const Place inner = place.child(node.value("name").toString());
        for (const QJsonValue &child : node.value("children").toArray())
            readChromiumNode(child.toObject(), inner, out);
    } else if (type == "url") {
        const qint64 us = node.value("date_added").toString().toLongLong();
        append(out, place, node.value("name").toString(), node.value("url").toString(), QString(),
               us > 0 ? fromUnixMs((us - kUnixFrom1601Us) / 1000) : 0);
    }
}

std::optional<QJsonObject> readJson(const QString &path, QString *why)
{
    QFile file(path);
    QJsonParseError error{};
    const QJsonDocument doc = file.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(file.readAll(), &error)
                                  : QJsonDocument();
    if (doc.isObject())
        return doc.object();
    *why = !file.isOpen() ? file.errorString()
           : error.error  ? error.errorString()
                          : QString("not a JSON object");
    return std::nullopt;
}

QString decodeEntities(const QString &text)
{
    static const QRegularExpression entity("&(#[xX][0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);");
    static const QHash<QString, QString> named = {{"amp", "&"},   {"lt", "<"},   {"gt", ">"},
                                                  {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    QString out;
    qsizetype last = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const QString name = m.captured(1).toLower();
        QString decoded = named.value(name, m.captured(0));
        if (name.startsWith('#')) {
            bool ok = false;
            const char32_t code =
                name.startsWith("#x") ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok);
            if (ok && code > 0 && code <= 0x10FFFF)
                decoded = QString::fromUcs4(&code, 1);
        }
        out += text.mid(last, m.capturedStart() - last) + decoded;
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

QHash<QString, QString> attributes(const QString &text)
{
    static const QRegularExpression attr(
        QStringLiteral(R"re(([\w-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"));
    QHash<QString, QString> out;
    for (auto it = attr.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out.insert(m.captured(1).toUpper(),
                   decodeEntities(m.captured(2) + m.captured(3) + m.captured(4)));
    }
    return out;
}

} // namespace

BookmarkImport ReadFirefoxProfile(const QString &firefoxDir)
{
    const QString source = "Firefox";
    const QString profile = defaultProfile(firefoxDir);
    const QString places = QDir(profile).filePath("places.sqlite");
    if (profile.isEmpty())
        return failed(source, fileError("No Firefox profile was found in %1.", firefoxDir));
    if (!QFileInfo(places).isFile())
        return failed(source, fileError("The Firefox profile %1 has no bookmarks file.", profile));

    // A running Firefox keeps the file locked; its latest changes may still be in the WAL.
    QTemporaryDir copyDir;
    const QString copy = copyDir.filePath("places.sqlite");
    if (!copyDir.isValid() || !QFile::copy(places, copy))
        return failed(source, fileError("The bookmarks file %1 cannot be copied.", places));
    if (QFileInfo::exists(places + "-wal"))
        QFile::copy(places + "-wal", copy + "-wal");

    Sqlite q;
    auto broken = [&] { return failed(source, fileError(kDamaged, places, sqlite3_errmsg(q.db))); };
    if (sqlite3_open_v2(QFile::encodeName(copy).constData(), &q.db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK ||
        !q.prepare("SELECT count(*) FROM pragma_table_info('moz_places') WHERE name = "
                   "'description'") ||
        sqlite3_step(q.st) != SQLITE_ROW)
        return broken();
    // Older profiles have no descriptions.
    const QByteArray description = sqlite3_column_int(q.st, 0) ? "p.description" : "NULL";
    if (!q.prepare("SELECT b.id, b.type, b.parent, b.position, b.title, b.dateAdded, b.guid, "
                   "p.url, p.title, " +
                   description + " FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk"))
        return broken();

    struct Folder
    {
        qint64 parent;
        QString title, guid;
    };
    struct Row
    {
        qint64 parent;
        int position;
        QString title, url, placeTitle, description;
        qint64 addedUs;
    };
    QHash<qint64, Folder> folders;
    QList<Row> rows;
    int rc;
    while ((rc = sqlite3_step(q.st)) == SQLITE_ROW) {
        const int type = sqlite3_column_int(q.st, 1);
        const qint64 parent = sqlite3_column_int64(q.st, 2);
        if (type == 2)
            folders.insert(sqlite3_column_int64(q.st, 0), {parent, q.text(4), q.text(6)});
        else if (type == 1)
            rows.append({parent, sqlite3_column_int(q.st, 3), q.text(4), q.text(7), q.text(8),
                         q.text(9), sqlite3_column_int64(q.st, 5)});
    }
    if (rc != SQLITE_DONE)
        return broken();

    // Each folder's place, from its root down; tags and unknown roots have none.
    const QHash<QString, Place> roots = {{"menu________", {}},
                                         {"toolbar_____", {{kLinks}, true}},
                                         {"unfiled_____", {{kOther}, false}},
                                         {"mobile______", {{kMobile}, false}}};
    QHash<qint64, std::optional<Place>> placeOf;
    std::function<std::optional<Place>(qint64, int)> resolve = [&](qint64 id, int depth) {
        if (const auto known = placeOf.constFind(id); known != placeOf.constEnd())
            return *known;
        std::optional<Place> result;
        const auto folder = folders.constFind(id);
        if (folder == folders.constEnd() || depth > 200) // a loop in a damaged file
            return result;
        if (const auto root = roots.constFind(folder->guid); root != roots.constEnd())
            result = *root;
        else if (const auto parent = resolve(folder->parent, depth + 1))
            result = parent->child(folder->title);
        placeOf.insert(id, result);
        return result;
    };

    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        return a.parent != b.parent ? a.parent < b.parent : a.position < b.position;
    });
    QList<ImportedBookmark> list;
    append(list, {}, "Home Page", firefoxHomePage(QDir(profile)), QString(), 0, true);
    for (const Row &row : rows) {
        if (const auto place = resolve(row.parent, 0))
            append(list, *place, row.title.isEmpty() ? row.placeTitle : row.title, row.url,
                   row.description, fromUnixMs(row.addedUs / 1000));
    }
    return finished(source, list);
}

BookmarkImport ReadChromiumBookmarks(const QString &bookmarksJson, const QString &source)
{
    QString why;
    const auto doc = readJson(bookmarksJson, &why);
    if (!doc)
        return failed(source, fileError(kDamaged, bookmarksJson, why));
    const QJsonObject roots = doc->value("roots").toObject();
    if (roots.isEmpty())
        return failed(source, fileError(kDamaged, bookmarksJson, "no bookmark roots"));

    QList<ImportedBookmark> list;
    const QPair<const char *, Place> rootPlaces[] = {{"bookmark_bar", {{kLinks}, true}},
                                                     {"other", {{kOther}, false}},
                                                     {"synced", {{kMobile}, false}}};
    for (const auto &[key, place] : rootPlaces) {
        for (const QJsonValue &child :
             roots.value(QLatin1String(key)).toObject().value("children").toArray())
            readChromiumNode(child.toObject(), place, list);
    }
    const QString prefsPath = QFileInfo(bookmarksJson).dir().filePath("Preferences");
    if (const auto prefs = readJson(prefsPath, &why);
        prefs && !prefs->value("homepage_is_newtabpage").toBool(true))
        append(list, {}, "Home Page", prefs->value("homepage").toString(), QString(), 0, true);
    return finished(source, list);
}

BookmarkImport ReadBookmarksHtml(const QString &htmlFile)
{
    const QString source = "bookmarks file";
    QFile file(htmlFile);
    if (!file.open(QIODevice::ReadOnly))
        return failed(source, fileError("The bookmarks file %1 cannot be read: %2", htmlFile,
                                        file.errorString()));
    const QString html = QString::fromUtf8(file.readAll());
    static const QRegularExpression tag(R"re(<(/?)([a-zA-Z][a-zA-Z0-9]*)([^>]*)>)re"),
        dl(R"re(<dl[\s>])re", QRegularExpression::CaseInsensitiveOption);
    if (!html.contains("<!DOCTYPE NETSCAPE-Bookmark-file-1>", Qt::CaseInsensitive) &&
        !html.contains(dl))
        return failed(source, fileError("The file %1 is not a bookmarks file.", htmlFile));

    enum class In { Nothing, Folder, Link, Description } in = In::Nothing;
    QList<Place> levels;
    std::optional<Place> pendingFolder; // the <DL> that follows an <H3> is its contents
    QHash<QString, QString> linkAttrs, folderAttrs;
    QString textRun;
    QList<ImportedBookmark> list;
    qsizetype lastLink = -1, last = 0;
    auto current = [&] { return levels.isEmpty() ? Place{} : levels.last(); };

    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        textRun += html.mid(last, m.capturedStart() - last);
        last = m.capturedEnd();
        const QString name = m.captured(2).toUpper();
        const bool closing = !m.captured(1).isEmpty();
        if (in == In::Description &&
            (name == "DT" || name == "DL" || name == "H3" || name == "A")) {
            if (lastLink >= 0)
                list[lastLink].description = decodeEntities(textRun).simplified();
            in = In::Nothing;
        }
        if (!closing && (name == "H3" || name == "A" || name == "DD"))
            textRun.clear();
        if (name == "H3" && !closing) {
            in = In::Folder;
            folderAttrs = attributes(m.captured(3));
        } else if (name == "H3" && in == In::Folder) {
            auto marked = [&](const char *attr) {
                return folderAttrs.value(attr).toLower() == "true";
            };
            pendingFolder = marked("PERSONAL_TOOLBAR_FOLDER") ? Place{{kLinks}, true}
                            : marked("UNFILED_BOOKMARKS_FOLDER")
                                ? Place{{kOther}, false}
                                : current().child(decodeEntities(textRun));
            in = In::Nothing;
        } else if (name == "A" && !closing) {
            in = In::Link;
            linkAttrs = attributes(m.captured(3));
        } else if (name == "A" && in == In::Link) {
            const qsizetype before = list.size();
            append(list, current(), decodeEntities(textRun), linkAttrs.value("HREF"), QString(),
                   fromUnixSeconds(linkAttrs.value("ADD_DATE").toLongLong()));
            lastLink = list.size() > before ? before : -1;
            in = In::Nothing;
        } else if (name == "DD" && !closing) {
            in = In::Description;
        } else if (name == "DL" && !closing) {
            levels.append(pendingFolder.value_or(current()));
            pendingFolder.reset();
        } else if (name == "DL" && !levels.isEmpty()) {
            levels.removeLast();
        }
        if (name == "DT" || name == "DL")
            lastLink = -1;
    }
    if (in == In::Description && lastLink >= 0)
        list[lastLink].description = decodeEntities(textRun + html.mid(last)).simplified();
    return finished(source, list);
}

BookmarkImport ReadDefaultBrowserBookmarks(const QString &home)
{
    const QDir dir(home);
    const QString firefox = dir.filePath(".mozilla/firefox");
    if (QFileInfo::exists(QDir(firefox).filePath("profiles.ini")))
        return ReadFirefoxProfile(firefox);
    const QPair<const char *, QString> chromes[] = {
        {".config/chromium/Default/Bookmarks", "Chromium"},
        {".config/google-chrome/Default/Bookmarks", "Google Chrome"}};
    for (const auto &[path, source] : chromes) {
        if (QFileInfo(dir.filePath(QLatin1String(path))).isFile())
            return ReadChromiumBookmarks(dir.filePath(QLatin1String(path)), source);
    }
    return {};
}

int AddImportedBookmarks(Recordset &rsFavorites, const QList<ImportedBookmark> &list,
                         bool skipKnownUrls)
{
    rsFavorites.ClearFilter(); // the known URLs are those of the whole store
    auto keyOf = [](const QString &keywords, const QString &url) {
        return keywords.toLower() + '\n' + url;
    };
    QSet<QString> known;
    if (skipKnownUrls) {
        for (rsFavorites.MoveFirst(); !rsFavorites.isEOF(); rsFavorites.MoveNext())
            known.insert(keyOf(rsFavorites.Field("Keywords").toString(),
                               rsFavorites.Field("URL").toString()));
    }
    const QStringList names = {"Keywords",    "Title", "URL",   "Description",
                               "DateCreated", "bfFav", "Period"};
    int added = 0;
    for (const ImportedBookmark &b : list) {
        QString keywords = b.homePage ? QString() : b.keywords;
        if (b.quickLink && !b.homePage && keywords.section('\\', 0, 0) != kLinks)
            keywords = joinPath({kLinks, keywords});
        keywords = keywords.left(kMaxText);
        const QString key = keyOf(keywords, b.url);
        if (skipKnownUrls && known.contains(key))
            continue;
        known.insert(key);
        const double created = b.dateCreated != 0 ? b.dateCreated : DateValue::now();
        const bool quick = b.quickLink && !b.homePage;
        if (rsFavorites.AddNew(names, {keywords, b.title.left(kMaxText), b.url, b.description,
                                       created, int(quick), int(b.homePage)}))
            ++added;
    }
    return added;
}
