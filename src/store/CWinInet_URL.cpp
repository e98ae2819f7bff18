#include "store/CWinInet_URL.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

struct SchemeInfo
{
    const char16_t *name;
    int number;
    quint16 port;
    bool hierarchical;
};

constexpr SchemeInfo kSchemes[] = {
    {u"ftp", InternetScheme::Ftp, 21, true},
    {u"gopher", InternetScheme::Gopher, 70, true},
    {u"http", InternetScheme::Http, 80, true},
    {u"https", InternetScheme::Https, 443, true},
    {u"file", InternetScheme::File, 0, true},
    {u"news", InternetScheme::News, 119, false},
    {u"mailto", InternetScheme::Mailto, 0, false},
    {u"socks", InternetScheme::Socks, 1080, true},
    {u"javascript", InternetScheme::Javascript, 0, false},
    {u"vbscript", InternetScheme::Vbscript, 0, false},
    {u"res", InternetScheme::Res, 0, true},
};

const SchemeInfo *infoByNumber(int scheme)
{
    for (const SchemeInfo &s : kSchemes) {
        if (s.number == scheme)
            return &s;
    }
    return nullptr;
}

// Schemes without a number that still crack; any other name is not a scheme (a bare
// "host:port/path" must not pass for one).
bool isKnownUnnumbered(const QString &name)
{
    return name == u"about" || name == u"skl" || name == u"data" || name == u"view-source";
}

bool needsHost(int scheme)
{
    return scheme == InternetScheme::Ftp || scheme == InternetScheme::Gopher ||
           scheme == InternetScheme::Http || scheme == InternetScheme::Https;
}

// "scheme:" at the start, as RFC 3986 spells a scheme; empty when there is none.
QString leadingScheme(const QString &url)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):"));
    const auto m = re.match(url);
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

// RFC 3986 section 5.2.4.
QString removeDotSegments(const QString &path)
{
    QString in = path;
    QString out;
    while (!in.isEmpty()) {
        if (in.startsWith(u"../")) {
            in.remove(0, 3);
        } else if (in.startsWith(u"./")) {
            in.remove(0, 2);
        } else if (in.startsWith(u"/./")) {
            in.remove(0, 2);
        } else if (in == u"/.") {
            in = QStringLiteral("/");
        } else if (in.startsWith(u"/../") || in == u"/..") {
            in = in.size() == 3 ? QStringLiteral("/") : in.mid(3);
            const qsizetype cut = out.lastIndexOf(u'/');
            out.truncate(cut < 0 ? 0 : cut);
        } else if (in == u"." || in == u"..") {
            in.clear();
        } else {
            const qsizetype next = in.indexOf(u'/', in.startsWith(u'/') ? 1 : 0);
            const qsizetype len = next < 0 ? in.size() : next;
            out += in.left(len);
            in.remove(0, len);
        }
    }
    return out;
}

bool isUnsafe(char16_t c)
{
    switch (c) {
    case u' ':
    case u'"':
    case u'<':
    case u'>':
    case u'`':
    case u'{':
    case u'}':
    case u'|':
    case u'^':
        return true;
    default:
        return c < 0x20 || c >= 0x7f;
    }
}

QString encode(const QString &text, int flags)
{
    if (flags & IcuFlag::NoEncode)
        return text;
    const bool spacesOnly = flags & IcuFlag::EncodeSpacesOnly;
    const bool percent = flags & IcuFlag::EncodePercent;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool escape = spacesOnly ? c == u' ' : (isUnsafe(c) || (percent && c == u'%'));
        if (!escape) {
            out += QChar(c);
            continue;
        }
        // A surrogate pair is one character: encode its UTF-8 bytes together.
        qsizetype len = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            len = 2;
        const QByteArray bytes = text.mid(i, len).toUtf8();
        for (const char b : bytes)
            out += u'%' + QString::number(uchar(b), 16).toUpper().rightJustified(2, u'0');
        i += len - 1;
    }
    return out;
}

} // namespace

int CWinInet_URL::schemeNumber(const QString &name)
{
    for (const SchemeInfo &s : kSchemes) {
        if (name.compare(QStringView(s.name), Qt::CaseInsensitive) == 0)
            return s.number;
    }
    return InternetScheme::Unknown;
}

QString CWinInet_URL::schemeName(int scheme)
{
    const SchemeInfo *s = infoByNumber(scheme);
    return s ? QString::fromUtf16(s->name) : QString();
}

quint16 CWinInet_URL::defaultPort(int scheme)
{
    const SchemeInfo *s = infoByNumber(scheme);
    return s ? s->port : 0;
}

void CWinInet_URL::setScheme(int scheme)
{
    m_scheme = scheme;
    const SchemeInfo *s = infoByNumber(scheme);
    m_schemeName = s ? QString::fromUtf16(s->name) : QString();
    m_hierarchical = s && s->hierarchical;
}

void CWinInet_URL::clear()
{
    m_scheme = InternetScheme::Unknown;
    m_schemeName.clear();
    m_hierarchical = false;
    m_hostName.clear();
    m_port = 0;
    m_userName.clear();
    m_password.clear();
    m_urlPath.clear();
    m_extraInfo.clear();
}

QString CWinInet_URL::BaseHostName() const
{
    if (m_hostName.startsWith(u"www.", Qt::CaseInsensitive))
        return m_hostName.mid(4);
    return m_hostName;
}

QString CWinInet_URL::BaseFileName() const
{
    if (m_urlPath.isEmpty()) {
        QString name = m_hostName;
        return name.replace(u'.', u'-');
    }
    const qsizetype start = qMax(m_urlPath.lastIndexOf(u'/'), m_urlPath.lastIndexOf(u'\\')) + 1;
    const qsizetype dot = m_urlPath.lastIndexOf(u'.');
    if (dot >= start)
        return m_urlPath.mid(start, dot - start);
    return m_urlPath.mid(start);
}

QString CWinInet_URL::FileExtension() const
{
    const qsizetype start = qMax(m_urlPath.lastIndexOf(u'/'), m_urlPath.lastIndexOf(u'\\')) + 1;
    const qsizetype dot = m_urlPath.lastIndexOf(u'.');
    return dot >= start ? m_urlPath.mid(dot + 1).toLower() : QString();
}

bool CWinInet_URL::CrackUrl(const QString &url)
{
    clear();
    const QString name = leadingScheme(url);
    const QUrl u(url, QUrl::TolerantMode);
    if (name.isEmpty() || !u.isValid() || u.isRelative())
        return false;
    const int number = schemeNumber(name);
    if (number == InternetScheme::Unknown && !isKnownUnnumbered(name))
        return false;
    const QString host = u.host(QUrl::FullyEncoded);
    if (needsHost(number) && host.isEmpty())
        return false;

    m_scheme = number;
    m_schemeName = name;
    m_hierarchical = url.mid(name.size() + 1).startsWith(u"//");
    m_hostName = host;
    m_port = quint16(u.port(defaultPort(number)));
    m_userName = u.userName(QUrl::FullyEncoded);
    m_password = u.password(QUrl::FullyEncoded);
    m_urlPath = u.path(QUrl::FullyEncoded);
    if (u.hasQuery())
        m_extraInfo += u'?' + u.query(QUrl::FullyEncoded);
    if (u.hasFragment())
        m_extraInfo += u'#' + u.fragment(QUrl::FullyEncoded);
    return true;
}

URLParts CWinInet_URL::URLparts(const QString &url)
{
    URLParts parts;
    parts.url = url;
    parts.valid = CrackUrl(url);
    if (parts.valid) {
        parts.scheme = m_scheme;
        parts.host = m_hostName;
        parts.baseHost = BaseHostName();
        parts.path = m_urlPath;
        parts.extension = FileExtension();
        parts.hostAndPath = m_hostName + m_urlPath;
        parts.feed =
            parts.extension == u"opml" || parts.extension == u"rdf" || parts.extension == u"rss";
    }
    m_sharedHostAndPath = parts.hostAndPath;
    m_sharedFeed = parts.feed;
    return parts;
}

QString CWinInet_URL::CombineUrl(const QString &baseUrl, const QString &relativeUrl,
                                 int flags) const
{
    if (baseUrl.isEmpty() || relativeUrl.isEmpty())
        return QString();
    const QUrl base(baseUrl.trimmed(), QUrl::TolerantMode);
    const QUrl relative(relativeUrl.trimmed(), QUrl::TolerantMode);
    if (!base.isValid() || base.isRelative() || !relative.isValid())
        return QString();
    const QUrl combined = base.resolved(relative);
    if (!combined.isValid())
        return QString();
    const bool keepText = flags & (IcuFlag::NoEncode | IcuFlag::Decode);
    const QString text = combined.toString(keepText ? QUrl::PrettyDecoded : QUrl::FullyEncoded);
    return CanonicalizeUrl(text, flags);
}

QString CWinInet_URL::CanonicalizeUrl(const QString &url, int flags) const
{
    QString text = url.trimmed();
    if (text.isEmpty())
        return QString();
    if (flags & IcuFlag::Decode)
        text = QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
    const QString name = leadingScheme(text);
    if (name.isEmpty())
        return QString();

    // prefix | path | rest ("?..." or "#...")
    qsizetype pathStart = name.size() + 1;
    if (text.mid(pathStart).startsWith(u"//")) {
        const qsizetype end =
            text.indexOf(QRegularExpression(QStringLiteral("[/?#]")), pathStart + 2);
        pathStart = end < 0 ? text.size() : end;
    }
    qsizetype restStart = text.indexOf(QRegularExpression(QStringLiteral("[?#]")), pathStart);
    if (restStart < 0)
        restStart = text.size();
    const QString prefix = text.left(pathStart);
    QString path = text.mid(pathStart, restStart - pathStart);
    const QString rest = text.mid(restStart);

    const bool hierarchical = text.mid(name.size() + 1).startsWith(u"//");
    if (hierarchical && !(flags & IcuFlag::NoMeta))
        path = removeDotSegments(path);
    return encode(prefix, flags) + encode(path, flags) +
           ((flags & IcuFlag::BrowserMode) ? rest : encode(rest, flags));
}

QString CWinInet_URL::CreateURL() const
{
    if (m_schemeName.isEmpty())
        return QString();
    if (needsHost(m_scheme) && m_hostName.isEmpty())
        return QString();
    QString out = m_schemeName + u':';
    if (m_hierarchical || !m_hostName.isEmpty()) {
        out += QStringLiteral("//");
        if (!m_userName.isEmpty() || !m_password.isEmpty()) {
            out += m_userName;
            if (!m_password.isEmpty())
                out += u':' + m_password;
            out += u'@';
        }
        out += m_hostName.contains(u':') ? u'[' + m_hostName + u']' : m_hostName;
        if (m_port != 0 && m_port != defaultPort(m_scheme))
            out += u':' + QString::number(m_port);
        if (!m_urlPath.isEmpty() && !m_urlPath.startsWith(u'/'))
            out += u'/';
    }
    out += m_urlPath + m_extraInfo;
    return out;
}
