#pragma once

#include <QList>
#include <QString>

// The type codes a store file records for each field.
namespace FieldType {
enum : int {
    Integer = 3,          // 32-bit signed
    Double = 5,           // 64-bit floating point
    Date = 7,             // day count (see DateValue), 64-bit floating point
    TinyInt = 16,         // 8-bit signed
    UnsignedTinyInt = 17, // 8-bit unsigned
    UnsignedSmallInt = 18,
    UnsignedInt = 19,
    Char = 129,      // single-byte string, at most `size` characters
    WChar = 202,     // Unicode string, at most `size` characters
    LongWChar = 203, // long Unicode text, at most `size` characters
    VarBinary = 204, // at most `size` bytes
    LongVarBinary = 205,
};
bool isKnown(int type);
bool isText(int type);
bool isBinary(int type);
bool isNumeric(int type); // numbers and dates
} // namespace FieldType

struct FieldDef
{
    QString name;
    int type = FieldType::WChar;
    int size = 0; // 0: fixed by the type

    bool operator==(const FieldDef &other) const = default;
};

using Schema = QList<FieldDef>;

// Same names (ignoring case), types and sizes in the same order.
bool SameSchema(const Schema &a, const Schema &b);

// The stores' schemas, fields in their stored order.
Schema FavoritesSchema();
Schema HistorySchema();
Schema NotesSchema();
Schema OptionsSchema();
Schema FormsSchema();
Schema SessionsSchema();
// The current, temporary and past session files.
Schema SessionSchema();
Schema SavedFilesSchema();
// Saved searches: the address and post data of a search with its last terms in them.
Schema SearchesSchema();

// Index fields and default orders (an empty order: the stored order).
namespace StoreOrder {
inline constexpr const char *FavoritesIndex = "Keywords";
inline constexpr const char *FavoritesOrder = "Keywords, Title";
inline constexpr const char *NotesIndex = "Date";
inline constexpr const char *NotesOrder = "Date DESC";
inline constexpr const char *OptionsIndex = "key";
inline constexpr const char *FormsIndex = "url";
inline constexpr const char *SessionIndex = "Order";
inline constexpr const char *SessionOrder = "Order";
} // namespace StoreOrder
