// The stores' filter, find and sort language over a store with one field of every type. Input:
// a selector byte, the expression, and after the first newline a text that some rows hold.
#include "FuzzSupport.h"

#include "store/Expression.h"
#include "store/Recordset.h"
#include "store/Schemas.h"

#include <QDateTime>
#include <QVariant>

namespace {

Schema everyType()
{
    using namespace FieldType;
    return {{"I", Integer},      {"D", Double},           {"T", Date},
            {"B", TinyInt},      {"UB", UnsignedTinyInt}, {"US", UnsignedSmallInt},
            {"UI", UnsignedInt}, {"C", Char, 20},         {"W", WChar, 255},
            {"L", LongWChar},    {"V", VarBinary, 16}};
}

Recordset makeStore(const QString &text, bool indexed)
{
    Recordset rs = Recordset::Create(everyType());
    if (indexed) {
        rs.SetIndexed("W");
        rs.SetIndexed("I");
    }
    const QStringList names = {"I", "D", "T", "B", "UB", "US", "UI", "C", "W", "L", "V"};
    (void)rs.AddNew(names, {-5, 2.5, QDateTime(QDate(2001, 2, 3), QTime(4, 5)), -128, 255, 65535, 7,
                            "Abc", text, text.repeated(3), QByteArray("\0x", 2)});
    (void)rs.AddNew({"W", "C", "L"}, {text.toUpper(), text.left(20), text.toLower()});
    rs.AddNew(); // every field Null
    rs.Update();
    (void)rs.AddNew({"I", "W"}, {2147483647, QString::fromUtf8("\xc3\x84rger*stra\xc3\x9f"
                                                               "e")});
    return rs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const auto [selector, expression, text] = fuzz::selectedTexts(data, size);

    Recordset rs = makeStore(text, selector & 0x10);
    switch (selector % 4) {
    case 0:
        if (rs.SetFilter(expression)) {
            const int count = rs.RecordCount();
            int seen = 0;
            for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
                ++seen;
            fuzz::require(seen == count && count <= 4);
            Recordset clone = rs.Clone();
            (void)clone.SetFilter(expression);
        }
        break;
    case 1:
        if (rs.Find(expression))
            fuzz::require(!rs.isEOF() && rs.Bookmark() > 0);
        break;
    case 2:
        if (rs.SetSort(expression)) {
            int seen = 0;
            for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
                ++seen;
            fuzz::require(seen == 4);
        }
        break;
    default: {
        // The ASCII fast path folds exactly as the general one.
        const QByteArray utf8 = expression.toUtf8();
        std::string folded;
        expr::foldUtf8(utf8.constData(), size_t(utf8.size()), folded);
        std::string fast(size_t(utf8.size()), '\0');
        if (expr::foldAscii(utf8.constData(), size_t(utf8.size()), fast.data()))
            fuzz::require(fast == folded);
        const expr::Parsed parsed = expr::parse(expression, everyType(), selector & 0x20);
        fuzz::require(parsed.node || !parsed.error.isEmpty());
        if (parsed.node && parsed.node->kind == expr::Node::Kind::Compare &&
            parsed.node->op == expr::Op::Like)
            (void)expr::likeMatch(expr::foldUtf8(text), *parsed.node);
        break;
    }
    }
    return 0;
}
