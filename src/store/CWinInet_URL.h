#pragma once

#include <QString>

// Scheme numbers as URL cracking reports them. about:, data:, view-source: and the program's
// skl: have no number of their own: they crack successfully as Unknown, and SchemeName() tells
// them apart. Any other unnumbered name fails to crack.
namespace InternetScheme {
enum : int {
    Partial = -2,
    Unknown = -1,
    Default = 0,
    Ftp = 1,
    Gopher = 2,
    Http = 3,
    Https = 4,
    File = 5,
    News = 6,
    Mailto = 7,
    Socks = 8,
    Javascript = 9,
    Vbscript = 10,
    Res = 11,
};
} // namespace InternetScheme

// Flags of CombineUrl and CanonicalizeUrl (0: encode unsafe characters, drop "." and ".."
// segments).
namespace IcuFlag {
enum : int {
    EncodePercent = 0x00001000, // "%" is encoded too
    BrowserMode = 0x02000000,   // nothing after "?" or "#" is encoded or decoded
    EncodeSpacesOnly = 0x04000000,
    NoMeta = 0x08000000, // "." and ".." segments stay
    Decode = 0x10000000, // %XX sequences are decoded first
    NoEncode = 0x20000000,
};
} // namespace IcuFlag

// A split address as the page loader and the history keep it.
struct URLParts
{
    bool valid = false; // false: the address could not be split, the rest is empty
    QString url;        // the address as given
    int scheme = InternetScheme::Unknown;
    QString host;
    QString baseHost;
    QString path;
    QString extension; // lower-case, without the dot
    QString hostAndPath;
    bool feed = false; // extension "opml", "rdf" or "rss"
};

// Splits, joins, normalises and builds addresses (one shared instance, gURL). Components come
// back in their percent-encoded form, the host in lower case. Results are never cut to a length.
class CWinInet_URL
{
public:
    int Scheme() const { return m_scheme; }
    // Also sets the scheme's name for CreateURL (none for an unnumbered scheme).
    void setScheme(int scheme);
    // "http", "about", "skl", ... in lower case.
    QString SchemeName() const { return m_schemeName; }
    QString HostName() const { return m_hostName; }
    void setHostName(const QString &host) { m_hostName = host; }
    quint16 Port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }
    QString UserName() const { return m_userName; }
    void setUserName(const QString &user) { m_userName = user; }
    QString Password() const { return m_password; }
    void setPassword(const QString &password) { m_password = password; }
    QString URLpath() const { return m_urlPath; }
    void setURLpath(const QString &path) { m_urlPath = path; }
    // "?query#fragment", either part absent when the address has none.
    QString ExtraInfo() const { return m_extraInfo; }
    void setExtraInfo(const QString &extra) { m_extraInfo = extra; }

    // The host without a leading "www." (any case).
    QString BaseHostName() const;
    // The last path segment without its extension; with an empty path, the host with "-" for
    // every ".".
    QString BaseFileName() const;
    // The last path segment's extension, lower-case; empty when the segment has no ".".
    QString FileExtension() const;

    // Set by the last URLparts: host followed by path, and whether it named a feed.
    QString HostAndPath() const { return m_sharedHostAndPath; }
    bool IsFeed() const { return m_sharedFeed; }

    // True when the address is absolute and well-formed; on false every property is cleared
    // (Scheme Unknown) and none may be used.
    [[nodiscard]] bool CrackUrl(const QString &url);
    URLParts URLparts(const QString &url);
    // Empty when an argument is empty, the base is not an absolute address, or it fails.
    QString CombineUrl(const QString &baseUrl, const QString &relativeUrl, int flags = 0) const;
    // Empty when the argument is empty or has no scheme.
    QString CanonicalizeUrl(const QString &url, int flags = 0) const;
    // Built from the properties; the port only when it is not the scheme's default. Empty when
    // the scheme has no name or a network scheme has no host.
    QString CreateURL() const;

    static int schemeNumber(const QString &schemeName);
    static QString schemeName(int scheme);
    static quint16 defaultPort(int scheme);

private:
    void clear();

    int m_scheme = InternetScheme::Unknown;
    QString m_schemeName;
    bool m_hierarchical = false; // written with "//" after the scheme
    QString m_hostName;
    quint16 m_port = 0;
    QString m_userName;
    QString m_password;
    QString m_urlPath;
    QString m_extraInfo;

    QString m_sharedHostAndPath;
    bool m_sharedFeed = false;
};
