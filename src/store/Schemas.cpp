#include "store/Schemas.h"

namespace FieldType {

bool isKnown(int type)
{
    switch (type) {
    case Integer:
    case Double:
    case Date:
    case TinyInt:
    case UnsignedTinyInt:
    case UnsignedSmallInt:
    case UnsignedInt:
    case Char:
    case WChar:
    case LongWChar:
    case VarBinary:
    case LongVarBinary:
        return true;
    default:
        return false;
    }
}

bool isText(int type)
{
    return type == Char || type == WChar || type == LongWChar;
}

bool isBinary(int type)
{
    return type == VarBinary || type == LongVarBinary;
}

bool isNumeric(int type)
{
    return isKnown(type) && !isText(type) && !isBinary(type);
}

} // namespace FieldType

bool SameSchema(const Schema &a, const Schema &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].name.compare(b[i].name, Qt::CaseInsensitive) != 0 || a[i].type != b[i].type ||
            a[i].size != b[i].size)
            return false;
    }
    return true;
}

using namespace FieldType;

Schema FavoritesSchema()
{
    return {
        {QStringLiteral("Keywords"), WChar, 255},
        {QStringLiteral("Title"), WChar, 255},
        {QStringLiteral("URL"), LongWChar, 2048},
        {QStringLiteral("Description"), WChar, 512},
        {QStringLiteral("DocKeywords"), WChar, 512},
        {QStringLiteral("Notes"), LongWChar, 4096},
        {QStringLiteral("PostData"), LongVarBinary, 4096},
        {QStringLiteral("Headers"), LongWChar, 1024},
        {QStringLiteral("Extra"), LongWChar, 4096},
        {QStringLiteral("Refresh"), UnsignedTinyInt, 0},
        {QStringLiteral("StatusCode"), UnsignedSmallInt, 0},
        {QStringLiteral("bfFav"), UnsignedInt, 0},
        {QStringLiteral("Period"), UnsignedTinyInt, 0},
        {QStringLiteral("DayOfWeek"), UnsignedTinyInt, 0},
        {QStringLiteral("WeekOfMonth"), UnsignedTinyInt, 0},
        {QStringLiteral("DayOfMonth"), UnsignedInt, 0},
        {QStringLiteral("Selected"), UnsignedTinyInt, 0},
        {QStringLiteral("FavIcon"), VarBinary, 256},
        {QStringLiteral("DateCreated"), Date, 0},
        {QStringLiteral("DateAccessed"), Date, 0},
        {QStringLiteral("Accesses"), UnsignedInt, 0},
        {QStringLiteral("ForeignIndex"), UnsignedInt, 0},
    };
}

Schema HistorySchema()
{
    return {
        {QStringLiteral("Date"), Date, 0},
        {QStringLiteral("Title"), WChar, 255},
        {QStringLiteral("URL"), LongWChar, 2048},
        {QStringLiteral("Domain"), LongWChar, 1024},
        {QStringLiteral("Description"), LongWChar, 2048},
        {QStringLiteral("DocKeywords"), LongWChar, 2048},
        {QStringLiteral("Visits"), UnsignedInt, 0},
    };
}

Schema NotesSchema()
{
    return {
        {QStringLiteral("Date"), Date, 0},
        {QStringLiteral("Status"), TinyInt, 0},
        {QStringLiteral("Keywords"), LongWChar, 260},
        {QStringLiteral("Note"), LongWChar, 32768},
    };
}

Schema OptionsSchema()
{
    return {
        {QStringLiteral("key"), WChar, 50},
        {QStringLiteral("status"), TinyInt, 0},
        {QStringLiteral("value"), LongWChar, 4096},
    };
}

Schema FormsSchema()
{
    return {
        {QStringLiteral("url"), LongWChar, 2048},
        {QStringLiteral("fieldtype"), Char, 1},
        {QStringLiteral("fieldname"), LongWChar, 50},
        {QStringLiteral("fieldvalue"), LongWChar, 32768},
    };
}

Schema SessionsSchema()
{
    return {
        {QStringLiteral("name"), Date, 0},
        {QStringLiteral("title"), WChar, 255},
        {QStringLiteral("url"), LongWChar, 2048},
        {QStringLiteral("postdata"), LongVarBinary, 4096},
        {QStringLiteral("headers"), LongWChar, 1024},
    };
}

Schema SessionSchema()
{
    return {
        {QStringLiteral("Order"), UnsignedInt, 0},
        {QStringLiteral("Date"), Date, 0},
        {QStringLiteral("bRead"), UnsignedTinyInt, 0},
        {QStringLiteral("bLoaded"), UnsignedTinyInt, 0},
        {QStringLiteral("Title"), WChar, 255},
        {QStringLiteral("URL"), LongWChar, 2048},
        {QStringLiteral("scrolltop"), Integer, 0},
        {QStringLiteral("PostData"), LongVarBinary, 4096},
        {QStringLiteral("Headers"), LongWChar, 1024},
        {QStringLiteral("Bookmark"), Double, 0},
    };
}

Schema SearchesSchema()
{
    return {
        {QStringLiteral("Title"), WChar, 255},
        {QStringLiteral("SearchTerms"), WChar, 255},
        {QStringLiteral("URL"), LongWChar, 2048},
        {QStringLiteral("PostData"), LongVarBinary, 4096},
        {QStringLiteral("Frequency"), Integer, 0},
    };
}

Schema SavedFilesSchema()
{
    return {
        {QStringLiteral("Keywords"), WChar, 150}, {QStringLiteral("Title"), WChar, 255},
        {QStringLiteral("URL"), LongWChar, 2048}, {QStringLiteral("Filename"), WChar, 255},
        {QStringLiteral("Date"), Date, 0},        {QStringLiteral("Notes"), LongWChar, 10240},
    };
}
