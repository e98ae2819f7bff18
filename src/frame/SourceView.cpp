#include "frame/SourceView.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace SourceView {

namespace {

constexpr qsizetype kProgressStep = 64 * 1024;
constexpr qsizetype kLongestName = 7; // "/script", "/iframe"

// Writes at a running position in a buffer sized once and grown geometrically, since
// appending the many small pieces one by one reallocates and checks far more often.
class Writer
{
public:
    explicit Writer(qsizetype sizeHint) { grow(std::max<qsizetype>(sizeHint, 64)); }

    template <std::size_t N> void put(const char16_t (&text)[N])
    {
        constexpr qsizetype n = N - 1;
        room(n);
        std::memcpy(m_data + m_pos, text, n * sizeof(char16_t));
        m_pos += n;
    }
    void put(QChar c)
    {
        room(1);
        m_data[m_pos++] = c;
    }
    qsizetype size() const { return m_pos; }
    QString take()
    {
        m_buf.truncate(m_pos);
        return std::move(m_buf);
    }

private:
    void room(qsizetype n)
    {
        if (m_pos + n > m_buf.size())
            grow(std::max(m_buf.size() * 2, m_pos + n));
    }
    void grow(qsizetype size)
    {
        m_buf.resize(size);
        m_data = m_buf.data();
    }

    QString m_buf;
    QChar *m_data = nullptr;
    qsizetype m_pos = 0;
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

enum class Tag { Table, Script, Style, Form, Head, Iframe, Other };

// The name is compared in place: building a lower-cased copy per tag costs more than the rest.
Tag tagNamed(QStringView name)
{
    static constexpr struct
    {
        char16_t name[7];
        Tag tag;
    } kNames[] = {{u"table", Tag::Table}, {u"script", Tag::Script}, {u"style", Tag::Style},
                  {u"form", Tag::Form},   {u"head", Tag::Head},     {u"iframe", Tag::Iframe}};
    for (const auto &known : kNames) {
        if (name.compare(QStringView(known.name), Qt::CaseInsensitive) == 0)
            return known.tag;
    }
    return Tag::Other;
}

void writeOpening(Writer &out, Tag tag)
{
    switch (tag) {
    case Tag::Table:
        return out.put(u"<div style=background-color:#EEFFEE;color:blue>&lt;");
    case Tag::Script:
        return out.put(u"<div style=color:red>&lt;");
    case Tag::Style:
        return out.put(u"<div style=color:maroon>&lt;");
    case Tag::Form:
        return out.put(u"<div style=background-color:#EEBB55;color:blue>&lt;");
    case Tag::Head:
        return out.put(u"<div style=background-color:#FFFFBB;color:blue>&lt;");
    case Tag::Iframe:
        return out.put(u"<div style=background-color:#55FF33;color:blue>&lt;");
    case Tag::Other:
        return out.put(u"<font color=blue>&lt;");
    }
}

void writeClosing(Writer &out, Tag tag)
{
    switch (tag) {
    case Tag::Table:
        return out.put(u"<font color=blue>&lt;/table&gt;</font></div>");
    case Tag::Script:
        return out.put(u"&lt;/script&gt;</div>");
    case Tag::Style:
        return out.put(u"&lt;/style&gt;</div>");
    case Tag::Form:
        return out.put(u"<font color=blue>&lt;/form&gt;</font></div>");
    case Tag::Head:
        return out.put(u"<font color=blue>&lt;/head&gt;</font></div>");
    case Tag::Iframe:
        return out.put(u"<font color=blue>&lt;/iframe&gt;</font></div>");
    case Tag::Other:
        return;
    }
}

} // namespace

QStringList convertParts(const QString &source, qsizetype firstPart, qsizetype part,
                         const std::function<void(qsizetype done, qsizetype total)> &progress)
{
    QStringList parts;
    qsizetype partEnd = firstPart;
    // Blocks open in the output: a part may only end outside all of them.
    int openBlocks = 0;
    const QChar *in = source.constData();
    const qsizetype total = source.size();
    Writer out(total * 2);
    // The last step may run up to twice as long, so that no two reports come closer than one.
    qsizetype nextReport = progress && total >= 2 * kProgressStep ? kProgressStep : total + 1;
    bool inOrdinaryTag = false;
    // Script or style: its text is shown plain until its own closing tag.
    Tag rawBlock = Tag::Other;

    for (qsizetype i = 0; i < total;) {
        if (i >= nextReport) {
            progress(i, total);
            nextReport = i + 2 * kProgressStep <= total ? i + kProgressStep : total + 1;
        }
        const QChar c = in[i];
        if (out.size() >= partEnd && openBlocks == 0 && !inOrdinaryTag && rawBlock == Tag::Other &&
            (c == u'\r' || c == u'\n')) {
            parts << out.take();
            out = Writer(std::max<qsizetype>(part, 64));
            partEnd = part;
        }
        switch (c.unicode()) {
        case u'\r':
            out.put(u"<p>");
            break;
        case u'\n':
            // A line that ends in LF alone ends as one that ends in CR LF.
            if (i == 0 || in[i - 1] != u'\r')
                out.put(u"<p>");
            out.put(c);
            break;
        case u'&':
            out.put(u"&amp;");
            break;
        case u'>':
            // Each tag's colour ends with it: a font left open per tag would nest as deep as
            // the page has tags, which no renderer lays out in reasonable time.
            if (inOrdinaryTag)
                out.put(u"&gt;</font>");
            else
                out.put(u"&gt;");
            inOrdinaryTag = false;
            break;
        case u'<': {
            if (inOrdinaryTag) { // a tag cut short by the next one
                out.put(u"</font>");
                inOrdinaryTag = false;
            }
            // Only a name as short as the known ones matters, and a longer scan would make a
            // run of "<" without blanks quadratic.
            const qsizetype limit = std::min(total, i + 1 + kLongestName + 1);
            qsizetype end = i + 1;
            while (end < limit && in[end] != u'>' && !isBlank(in[end]))
                ++end;
            const QStringView name(in + i + 1, end - i - 1);
            const bool closing = name.startsWith(u'/');
            const Tag tag = tagNamed(closing ? name.mid(1) : name);
            if (closing && tag != Tag::Other && (rawBlock == Tag::Other || rawBlock == tag)) {
                writeClosing(out, tag);
                openBlocks = std::max(0, openBlocks - 1);
                // The whole closing tag goes, but not a tag that starts before its ">".
                while (end < total && in[end] != u'>' && in[end] != u'<')
                    ++end;
                i = end < total && in[end] == u'>' ? end + 1 : end;
                inOrdinaryTag = false;
                rawBlock = Tag::Other;
                continue;
            }
            if (rawBlock != Tag::Other) {
                out.put(u"&lt;");
                break;
            }
            // A closing tag of a known name was handled above, so this one opens or is ordinary.
            writeOpening(out, tag);
            inOrdinaryTag = tag == Tag::Other;
            if (!inOrdinaryTag)
                ++openBlocks;
            if (tag == Tag::Script || tag == Tag::Style)
                rawBlock = tag;
            break;
        }
        default:
            out.put(c);
            break;
        }
        ++i;
    }
    if (inOrdinaryTag)
        out.put(u"</font>");
    if (progress)
        progress(total, total);
    parts << out.take();
    return parts;
}

QString convert(const QString &source,
                const std::function<void(qsizetype done, qsizetype total)> &progress)
{
    return convertParts(source, std::numeric_limits<qsizetype>::max(), 0, progress).constFirst();
}

} // namespace SourceView
