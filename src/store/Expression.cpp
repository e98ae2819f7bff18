#include "store/Expression.h"

#include "store/DateValue.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace expr {

namespace {

enum class Tok { End, Ident, String, Date, Number, Op, Like, And, Or, Comma, Bad };

struct Token
{
    Tok kind = Tok::End;
    QString text; // identifier, string contents, date text, number text
    Op op = Op::Eq;
    qsizetype at = 0;
};

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_s(text) {}

    Token next()
    {
        while (m_i < m_s.size() && m_s[m_i].isSpace())
            ++m_i;
        Token t;
        t.at = m_i;
        if (m_i >= m_s.size())
            return t;
        const QChar c = m_s[m_i];
        if (c == u'\'') {
            QString value;
            ++m_i;
            for (;;) {
                if (m_i >= m_s.size()) {
                    t.kind = Tok::Bad;
                    t.text = QStringLiteral("unterminated quoted value");
                    return t;
                }
                if (m_s[m_i] == u'\'') {
                    if (m_i + 1 < m_s.size() && m_s[m_i + 1] == u'\'') {
                        value += u'\'';
                        m_i += 2;
                        continue;
                    }
                    ++m_i;
                    break;
                }
                value += m_s[m_i++];
            }
            t.kind = Tok::String;
            t.text = value;
            return t;
        }
        if (c == u'#') {
            const qsizetype end = m_s.indexOf(u'#', m_i + 1);
            if (end < 0) {
                t.kind = Tok::Bad;
                t.text = QStringLiteral("unterminated date value");
                return t;
            }
            t.kind = Tok::Date;
            t.text = m_s.mid(m_i + 1, end - m_i - 1);
            m_i = end + 1;
            return t;
        }
        if (c == u'[') {
            const qsizetype end = m_s.indexOf(u']', m_i + 1);
            if (end < 0) {
                t.kind = Tok::Bad;
                t.text = QStringLiteral("unterminated field name");
                return t;
            }
            t.kind = Tok::Ident;
            t.text = m_s.mid(m_i + 1, end - m_i - 1);
            m_i = end + 1;
            return t;
        }
        if (c.isDigit() || c == u'.' || c == u'-' || c == u'+') {
            qsizetype j = m_i;
            if (m_s[j] == u'-' || m_s[j] == u'+')
                ++j;
            while (j < m_s.size() && (m_s[j].isDigit() || m_s[j] == u'.'))
                ++j;
            if (j < m_s.size() && (m_s[j] == u'e' || m_s[j] == u'E')) {
                qsizetype k = j + 1;
                if (k < m_s.size() && (m_s[k] == u'-' || m_s[k] == u'+'))
                    ++k;
                if (k < m_s.size() && m_s[k].isDigit()) {
                    while (k < m_s.size() && m_s[k].isDigit())
                        ++k;
                    j = k;
                }
            }
            t.kind = Tok::Number;
            t.text = m_s.mid(m_i, j - m_i);
            m_i = j;
            return t;
        }
        if (c == u'=' || c == u'<' || c == u'>') {
            t.kind = Tok::Op;
            const QChar n = m_i + 1 < m_s.size() ? m_s[m_i + 1] : QChar();
            if (c == u'=') {
                t.op = Op::Eq;
                m_i += 1;
            } else if (c == u'<' && n == u'>') {
                t.op = Op::Ne;
                m_i += 2;
            } else if (c == u'<' && n == u'=') {
                t.op = Op::Le;
                m_i += 2;
            } else if (c == u'>' && n == u'=') {
                t.op = Op::Ge;
                m_i += 2;
            } else {
                t.op = c == u'<' ? Op::Lt : Op::Gt;
                m_i += 1;
            }
            return t;
        }
        if (c == u',') {
            t.kind = Tok::Comma;
            ++m_i;
            return t;
        }
        if (isIdentStart(c)) {
            qsizetype j = m_i;
            while (j < m_s.size() && isIdentChar(m_s[j]))
                ++j;
            t.text = m_s.mid(m_i, j - m_i);
            m_i = j;
            if (t.text.compare(QLatin1String("AND"), Qt::CaseInsensitive) == 0)
                t.kind = Tok::And;
            else if (t.text.compare(QLatin1String("OR"), Qt::CaseInsensitive) == 0)
                t.kind = Tok::Or;
            else if (t.text.compare(QLatin1String("LIKE"), Qt::CaseInsensitive) == 0)
                t.kind = Tok::Like;
            else
                t.kind = Tok::Ident;
            return t;
        }
        t.kind = Tok::Bad;
        t.text = QStringLiteral("unexpected character '%1'").arg(c);
        return t;
    }

private:
    const QString &m_s;
    qsizetype m_i = 0;
};

std::optional<double> toNumber(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

class Parser
{
public:
    Parser(const QString &text, const Schema &schema) : m_lex(text), m_schema(schema) { advance(); }

    std::shared_ptr<const Node> parseExpression(bool single)
    {
        auto first = parseTerm(single);
        if (!first)
            return nullptr;
        if (m_tok.kind != Tok::Or)
            return first;
        auto orNode = std::make_shared<Node>();
        orNode->kind = Node::Kind::Or;
        orNode->children.push_back(first);
        while (m_tok.kind == Tok::Or) {
            advance();
            auto next = parseTerm(single);
            if (!next)
                return nullptr;
            orNode->children.push_back(next);
        }
        return orNode;
    }

    bool atEnd() const { return m_tok.kind == Tok::End; }
    const Token &token() const { return m_tok; }
    QString error;

private:
    void advance() { m_tok = m_lex.next(); }

    bool fail(const QString &message)
    {
        if (error.isEmpty())
            error = message;
        return false;
    }

    std::shared_ptr<const Node> parseTerm(bool single)
    {
        auto first = parseComparison();
        if (!first)
            return nullptr;
        if (m_tok.kind != Tok::And && m_tok.kind != Tok::Or)
            return first;
        if (single) {
            fail(QStringLiteral("a find takes a single comparison"));
            return nullptr;
        }
        if (m_tok.kind != Tok::And)
            return first;
        auto andNode = std::make_shared<Node>();
        andNode->kind = Node::Kind::And;
        andNode->children.push_back(first);
        while (m_tok.kind == Tok::And) {
            advance();
            auto next = parseComparison();
            if (!next)
                return nullptr;
            andNode->children.push_back(next);
        }
        return andNode;
    }

    std::shared_ptr<const Node> parseComparison()
    {
        if (m_tok.kind == Tok::Bad) {
            fail(m_tok.text);
            return nullptr;
        }
        if (m_tok.kind != Tok::Ident) {
            fail(QStringLiteral("a field name was expected at position %1").arg(m_tok.at + 1));
            return nullptr;
        }
        auto node = std::make_shared<Node>();
        node->field = fieldIndex(m_schema, m_tok.text);
        if (node->field < 0) {
            fail(QStringLiteral("unknown field \"%1\"").arg(m_tok.text));
            return nullptr;
        }
        const FieldDef &def = m_schema[node->field];
        advance();
        if (m_tok.kind == Tok::Op) {
            node->op = m_tok.op;
        } else if (m_tok.kind == Tok::Like) {
            node->op = Op::Like;
        } else {
            fail(QStringLiteral("an operator was expected after \"%1\"").arg(def.name));
            return nullptr;
        }
        advance();
        const Token value = m_tok;
        if (value.kind == Tok::Bad) {
            fail(value.text);
            return nullptr;
        }
        if (value.kind != Tok::String && value.kind != Tok::Date && value.kind != Tok::Number) {
            fail(QStringLiteral("a value was expected after \"%1\"").arg(def.name));
            return nullptr;
        }
        advance();

        if (FieldType::isBinary(def.type)) {
            fail(QStringLiteral("the binary field \"%1\" cannot be compared").arg(def.name));
            return nullptr;
        }
        if (FieldType::isText(def.type)) {
            if (value.kind != Tok::String) {
                fail(QStringLiteral("the text field \"%1\" needs a quoted value").arg(def.name));
                return nullptr;
            }
            node->textField = true;
            if (node->op == Op::Like) {
                const QList<QStringView> parts = QStringView(value.text).split(u'*');
                node->anchoredStart = !value.text.startsWith(u'*');
                node->anchoredEnd = !value.text.endsWith(u'*');
                for (const QStringView part : parts) {
                    if (!part.isEmpty())
                        node->segments.push_back(foldUtf8(part.toString()));
                }
            } else {
                node->folded = foldUtf8(value.text);
            }
            return node;
        }

        // Numbers and dates
        if (node->op == Op::Like) {
            fail(QStringLiteral("LIKE needs a text field, not \"%1\"").arg(def.name));
            return nullptr;
        }
        std::optional<double> number;
        if (value.kind == Tok::Date) {
            number = DateValue::parseGeneral(value.text);
            if (!number) {
                fail(QStringLiteral("\"%1\" is not a date").arg(value.text));
                return nullptr;
            }
        } else {
            number = toNumber(value.text);
            if (!number && value.kind == Tok::String && def.type == FieldType::Date)
                number = DateValue::parseGeneral(value.text);
            if (!number) {
                fail(QStringLiteral("\"%1\" is not a number").arg(value.text));
                return nullptr;
            }
        }
        node->number = *number;
        return node;
    }

    Lexer m_lex;
    const Schema &m_schema;
    Token m_tok;
};

} // namespace

int fieldIndex(const Schema &schema, const QString &name)
{
    // Callers nearly always spell the name as the schema does: try that first, it is cheaper.
    for (qsizetype i = 0; i < schema.size(); ++i) {
        if (schema[i].name == name)
            return int(i);
    }
    for (qsizetype i = 0; i < schema.size(); ++i) {
        if (schema[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

Parsed parse(const QString &text, const Schema &schema, bool singleComparison)
{
    Parsed result;
    Parser parser(text, schema);
    auto node = parser.parseExpression(singleComparison);
    if (node && !parser.atEnd()) {
        const Token &t = parser.token();
        parser.error = t.kind == Tok::Bad
                           ? t.text
                           : QStringLiteral("unexpected text at position %1").arg(t.at + 1);
        node.reset();
    }
    if (!node) {
        result.error = QStringLiteral("Invalid expression \"%1\": %2").arg(text, parser.error);
        return result;
    }
    result.node = std::move(node);
    return result;
}

bool parseSort(const QString &text, const Schema &schema, std::vector<SortKey> *keys,
               QString *error)
{
    keys->clear();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return true;
    auto failed = [&](const QString &why) {
        keys->clear();
        if (error)
            *error = QStringLiteral("Invalid sort \"%1\": %2").arg(text, why);
        return false;
    };
    for (const QString &part : trimmed.split(u',')) {
        QStringList words = part.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty() || words.size() > 2)
            return failed(QStringLiteral("\"%1\"").arg(part.trimmed()));
        QString name = words[0];
        if (name.startsWith(u'[') && name.endsWith(u']'))
            name = name.mid(1, name.size() - 2);
        SortKey key;
        key.field = fieldIndex(schema, name);
        if (key.field < 0)
            return failed(QStringLiteral("unknown field \"%1\"").arg(name));
        if (words.size() == 2) {
            if (words[1].compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0)
                key.descending = true;
            else if (words[1].compare(QLatin1String("ASC"), Qt::CaseInsensitive) != 0)
                return failed(QStringLiteral("\"%1\"").arg(part.trimmed()));
        }
        keys->push_back(key);
    }
    return true;
}

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kLowBits = 0x0101010101010101ULL;

// Lower-cases eight ASCII bytes at once; false when a byte is not plain ASCII or is NUL.
inline bool lowerAscii8(const char *src, char *dst)
{
    uint64_t w;
    std::memcpy(&w, src, 8);
    if ((w & kHighBits) || ((w - kLowBits) & ~w & kHighBits))
        return false;
    const uint64_t geA = w + 0x3f3f3f3f3f3f3f3fULL; // high bit set where byte >= 'A'
    const uint64_t gtZ = w + 0x2525252525252525ULL; // high bit set where byte > 'Z'
    w |= ((geA ^ gtZ) & kHighBits) >> 2;
    std::memcpy(dst, &w, 8);
    return true;
}

} // namespace

bool foldAscii(const char *data, size_t size, char *dst)
{
    size_t i = 0;
    while (i + 8 <= size && lowerAscii8(data + i, dst + i))
        i += 8;
    for (; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c >= 0x80)
            return false;
        dst[i] = c >= 'A' && c <= 'Z' ? char(c + 32) : c == 0 ? ' ' : char(c);
    }
    return true;
}

void foldUtf8(const char *data, size_t size, std::string &out)
{
    const size_t start = out.size();
    out.resize(start + size);
    if (foldAscii(data, size, out.data() + start))
        return;
    // Rare: fold the whole text through Qt's Unicode tables.
    out.resize(start);
    const QByteArray folded = QString::fromUtf8(data, qsizetype(size)).toCaseFolded().toUtf8();
    out.append(folded.constData(), size_t(folded.size()));
    for (size_t k = start; k < out.size(); ++k) {
        if (out[k] == '\0')
            out[k] = ' ';
    }
}

std::string foldUtf8(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    foldUtf8(utf8.constData(), size_t(utf8.size()), out);
    return out;
}

bool likeMatch(std::string_view text, const Node &node)
{
    const auto &segs = node.segments;
    if (segs.empty()) // '' or only asterisks
        return !(node.anchoredStart && node.anchoredEnd) || text.empty();
    size_t from = 0;
    size_t last = segs.size() - 1;
    for (size_t i = 0; i < segs.size(); ++i) {
        const std::string &seg = segs[i];
        if (i == 0 && node.anchoredStart) {
            if (text.substr(0, seg.size()) != seg)
                return false;
            from = seg.size();
            if (segs.size() == 1 && node.anchoredEnd)
                return text.size() == seg.size();
            continue;
        }
        if (i == last && node.anchoredEnd) {
            if (text.size() < from + seg.size())
                return false;
            return text.substr(text.size() - seg.size()) == seg;
        }
        const size_t at = text.find(seg, from);
        if (at == std::string_view::npos)
            return false;
        from = at + seg.size();
    }
    return true;
}

} // namespace expr
