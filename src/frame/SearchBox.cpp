#include "frame/SearchBox.h"

namespace SearchBox {

namespace {

const char *const kTabIds[] = {"s0", "s1", "sh", "s3", "s4", "sD", "sT", "sM", "sC"};

QString percentEncoded(const QString &words, bool form)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    for (const char ch : words.toUtf8()) {
        const auto c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
                                c == '~';
        if (unreserved) {
            out += QLatin1Char(char(c));
        } else if (c == ' ' && form) {
            out += QLatin1Char('+');
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(hex[c >> 4]);
            out += QLatin1Char(hex[c & 15]);
        }
    }
    return out;
}

} // namespace

QString prefixTab(const QString &text)
{
    static const struct
    {
        const char *prefix;
        const char *tab;
    } kPrefixes[] = {{"g ", "s0"}, {"v ", "s1"}, {"_ ", "sh"}, {"f ", "s3"}, {"h ", "s4"},
                     {"d ", "sD"}, {"t ", "sT"}, {"m ", "sM"}, {"c ", "sC"}};
    const QString start = text.left(2).toLower();
    for (const auto &p : kPrefixes) {
        if (start == QLatin1String(p.prefix))
            return QLatin1String(p.tab);
    }
    return QString();
}

int tabNumber(const QString &id)
{
    for (int i = 0; i < 9; ++i) {
        if (id == QLatin1String(kTabIds[i]))
            return i;
    }
    return -1;
}

QString tabId(int number)
{
    return number >= 0 && number < 9 ? QLatin1String(kTabIds[number]) : QString();
}

QString fillTemplate(const QString &templateUrl, const QString &words)
{
    const int bang = templateUrl.indexOf(QLatin1Char('!'));
    if (bang < 0)
        return templateUrl;
    const int query = templateUrl.indexOf(QLatin1Char('?'));
    const QString value = percentEncoded(words.trimmed(), query >= 0 && query < bang);
    return QString(templateUrl).replace(QLatin1Char('!'), value);
}

} // namespace SearchBox

SearchServices::SearchServices()
{
    // Living services whose search addresses take the words the same way as the old ones;
    // UTF-8 throughout, so that any text arrives as typed.
    m_templates[0] =
        QStringLiteral("https://www.google.com/custom?q=!&sa=Search&ie=UTF-8&oe=UTF-8&hl=en");
    m_templates[1] = QStringLiteral("https://www.wolframalpha.com/input?i=!");
    m_templates[5] = QStringLiteral("https://www.merriam-webster.com/dictionary/!");
    m_templates[6] = QStringLiteral("https://www.merriam-webster.com/thesaurus/!");
    m_templates[7] = QStringLiteral("https://en.wikipedia.org/wiki/Special:Search?search=!&go=Go");
    m_templates[8] = QStringLiteral("https://www.encyclopedia.com/gsearch?q=!");
}

QString SearchServices::url(int tab, const QString &words) const
{
    const QString t = templateUrl(tab);
    return t.isEmpty() ? QString() : SearchBox::fillTemplate(t, words);
}

void SearchServices::setTemplate(int tab, const QString &templateUrl)
{
    if (tab >= 0 && tab < int(m_templates.size()))
        m_templates[size_t(tab)] = templateUrl;
}

QString SearchServices::templateUrl(int tab) const
{
    return tab >= 0 && tab < int(m_templates.size()) ? m_templates[size_t(tab)] : QString();
}
