#pragma once

#include "store/Schemas.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

// The filter, sort and find language of the stores:
//   expression := comparison { (AND | OR) comparison }      AND binds tighter; no parentheses
//   comparison := field ( = | <> | > | >= | < | <= | LIKE ) value
//   value      := 'text with '' for a quote' | #general date# | number
// Field names, AND/OR and LIKE ignore case. A backslash is an ordinary character.
//
// Text comparisons ignore case (both sides case-folded). A Null text field counts as the empty
// string, so "Keywords = ''" selects both. A Null number or date matches only "<>".
// LIKE takes '*' as "any run of characters" wherever it stands, so 'a*b' finds "a..b"; no other
// character is a wildcard. A quoted value given to a number field must read as a number (a date
// field also takes the general date format); a number or date given to a text field is refused,
// as is any comparison on a binary field and LIKE on a number.
namespace expr {

enum class Op { Eq, Ne, Gt, Ge, Lt, Le, Like };

struct Node
{
    enum class Kind { Compare, And, Or };
    Kind kind = Kind::Compare;

    // Compare
    int field = -1;
    Op op = Op::Eq;
    bool textField = false;
    std::string folded; // text operand, case-folded UTF-8
    double number = 0;  // number or date operand
    // LIKE: the pattern split at '*'; anchored when it does not begin / end with '*'
    std::vector<std::string> segments;
    bool anchoredStart = true;
    bool anchoredEnd = true;

    // And / Or
    std::vector<std::shared_ptr<const Node>> children;
};

struct Parsed
{
    std::shared_ptr<const Node> node; // null when invalid
    QString error;
};

// `singleComparison`: Find's form, AND/OR refused.
Parsed parse(const QString &text, const Schema &schema, bool singleComparison);

struct SortKey
{
    int field = -1;
    bool descending = false;
};

// "Field [ASC|DESC], ..."; an empty text gives no keys. False on an unknown field or garbage.
bool parseSort(const QString &text, const Schema &schema, std::vector<SortKey> *keys,
               QString *error);

int fieldIndex(const Schema &schema, const QString &name);

// Case folding used for every text comparison; UTF-8 in, UTF-8 out (NUL becomes a blank so that
// it never meets the separators of the search buffers).
void foldUtf8(const char *data, size_t size, std::string &out);
// The fast path of foldUtf8: writes `size` folded bytes to `dst` and returns true when the text
// is plain ASCII; false (dst partly written) otherwise.
bool foldAscii(const char *data, size_t size, char *dst);
std::string foldUtf8(const QString &text);

// LIKE over folded text.
bool likeMatch(std::string_view text, const Node &node);

} // namespace expr
