#include "store/Table.h"

#include "store/DateValue.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr uint32_t kNoRegion = std::numeric_limits<uint32_t>::max();

struct Range
{
    double min, max;
};

std::optional<Range> integerRange(int type)
{
    switch (type) {
    case FieldType::Integer:
        return Range{-2147483648.0, 2147483647.0};
    case FieldType::TinyInt:
        return Range{-128, 127};
    case FieldType::UnsignedTinyInt:
        return Range{0, 255};
    case FieldType::UnsignedSmallInt:
        return Range{0, 65535};
    case FieldType::UnsignedInt:
        return Range{0, 4294967295.0};
    default:
        return std::nullopt;
    }
}

// Substring search: compare the needle's first and last byte across a whole vector of
// positions at once, and check the rest only where both agree.
const char *findBytes(const char *hay, size_t n, const char *needle, size_t k)
{
    if (k == 0)
        return hay;
    if (n < k)
        return nullptr;
    if (k == 1)
        return static_cast<const char *>(memchr(hay, needle[0], n));
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[k - 1]);
    size_t i = 0;
    for (; i + k - 1 + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i + k - 1));
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        while (mask) {
            const unsigned bit = unsigned(__builtin_ctz(mask));
            if (std::memcmp(hay + i + bit + 1, needle + 1, k - 2) == 0)
                return hay + i + bit;
            mask &= mask - 1;
        }
    }
    return static_cast<const char *>(memmem(hay + i, n - i, needle, k));
#else
    return static_cast<const char *>(memmem(hay, n, needle, k));
#endif
}

} // namespace

// ---- TextColumn ----

void Bytes::reserve(size_t capacity)
{
    if (capacity <= m_capacity)
        return;
    void *p = std::realloc(m_data, capacity);
    if (!p)
        throw std::bad_alloc();
    m_data = static_cast<char *>(p);
    m_capacity = capacity;
}

void Bytes::shrinkToFit()
{
    if (m_size == m_capacity || !m_data)
        return;
    if (void *p = std::realloc(m_data, std::max<size_t>(m_size, 1))) {
        m_data = static_cast<char *>(p);
        m_capacity = std::max<size_t>(m_size, 1);
    }
}

void TextColumn::shrinkToFit()
{
    m_orig.shrinkToFit();
    m_fold.shrinkToFit();
}

void TextColumn::reserve(size_t rows, size_t bytes)
{
    m_orig.reserve(bytes);
    m_cells.reserve(rows);
    m_null.reserve(rows);
    if (m_hasFolded) {
        m_fold.reserve(bytes + rows);
        m_regionStart.reserve(rows);
        m_regionSlot.reserve(rows);
    }
}

void TextColumn::appendNull()
{
    Cell c;
    c.origOff = kSameAsFolded;
    c.foldOff = uint32_t(m_fold.size());
    c.region = kNoRegion;
    m_cells.push_back(c);
    m_null.push_back(1);
}

void TextColumn::appendRegion(int slot, const char *utf8, size_t size, Cell &cell)
{
    m_fold.push_back('\0');
    cell.foldOff = uint32_t(m_fold.size());
    char *dst = m_fold.grow(size);
    if (expr::foldAscii(utf8, size, dst)) {
        m_fold.commit(size);
    } else {
        m_scratchFold.clear();
        expr::foldUtf8(utf8, size, m_scratchFold);
        m_fold.append(m_scratchFold.data(), m_scratchFold.size());
    }
    cell.foldLen = uint32_t(m_fold.size() - cell.foldOff);
    cell.origLen = uint32_t(size);
    if (cell.foldLen == size && std::memcmp(m_fold.data() + cell.foldOff, utf8, size) == 0) {
        cell.origOff = kSameAsFolded;
    } else {
        cell.origOff = uint32_t(m_orig.size());
        m_orig.append(utf8, size);
    }
    if (slot < m_maxRegionSlot)
        m_inOrder = false;
    m_maxRegionSlot = std::max(m_maxRegionSlot, slot);
    cell.region = uint32_t(m_regionStart.size());
    m_regionStart.push_back(cell.foldOff);
    m_regionSlot.push_back(slot);
}

void TextColumn::appendOriginal(const char *utf8, size_t size, Cell &cell)
{
    cell.origOff = uint32_t(m_orig.size());
    cell.origLen = uint32_t(size);
    m_orig.append(utf8, size);
    cell.foldOff = 0;
    cell.foldLen = 0;
    cell.region = kNoRegion;
}

void TextColumn::append(const char *utf8, size_t size)
{
    const int slot = int(m_cells.size());
    m_cells.emplace_back();
    m_null.push_back(0);
    if (m_hasFolded)
        appendRegion(slot, utf8, size, m_cells.back());
    else
        appendOriginal(utf8, size, m_cells.back());
}

void TextColumn::buildFolded()
{
    Bytes orig = std::move(m_orig);
    m_orig = Bytes();
    m_fold = Bytes();
    m_fold.reserve(orig.size() + m_cells.size() + 1);
    m_regionStart.clear();
    m_regionSlot.clear();
    m_maxRegionSlot = -1;
    m_inOrder = true;
    m_garbage = 0;
    m_hasFolded = true;
    for (size_t s = 0; s < m_cells.size(); ++s) {
        Cell &c = m_cells[s];
        if (m_null[s]) {
            c = Cell{kSameAsFolded, 0, uint32_t(m_fold.size()), 0, kNoRegion};
            continue;
        }
        // Not a reference into `orig`: appendRegion reads it while the new buffers grow.
        appendRegion(int(s), orig.data() + c.origOff, c.origLen, c);
    }
    m_orig.shrinkToFit();
}

void TextColumn::release(Cell &c)
{
    if (c.origOff != kSameAsFolded)
        m_garbage += c.origLen;
    if (c.region != kNoRegion) {
        m_regionSlot[c.region] = -1;
        m_garbage += c.foldLen + 1;
    }
}

void TextColumn::set(int slot, const char *utf8, size_t size)
{
    Cell &c = m_cells[size_t(slot)];
    // `utf8` may point into the buffers, which the append grows.
    m_scratch.assign(utf8, size);
    release(c);
    m_null[size_t(slot)] = 0;
    if (m_hasFolded)
        appendRegion(slot, m_scratch.data(), m_scratch.size(), c);
    else
        appendOriginal(m_scratch.data(), m_scratch.size(), c);
    maybeCompact();
}

void TextColumn::setNull(int slot)
{
    Cell &c = m_cells[size_t(slot)];
    release(c);
    c = Cell{kSameAsFolded, 0, uint32_t(m_fold.size()), 0, kNoRegion};
    m_null[size_t(slot)] = 1;
    maybeCompact();
}

void TextColumn::maybeCompact()
{
    // Compact once garbage makes up half of both buffers.
    if (m_garbage < (1u << 16) || m_garbage < (m_orig.size() + m_fold.size()) / 2)
        return;
    Bytes orig, fold;
    orig.reserve(m_orig.size() - std::min(m_orig.size(), m_garbage) + 1);
    fold.reserve(m_fold.size() - std::min(m_fold.size(), m_garbage) + 1);
    std::vector<uint32_t> starts;
    std::vector<int32_t> slots;
    for (size_t s = 0; s < m_cells.size(); ++s) {
        Cell &c = m_cells[s];
        if (c.origOff != kSameAsFolded) {
            const uint32_t origOff = uint32_t(orig.size());
            orig.append(m_orig.data() + c.origOff, c.origLen);
            c.origOff = origOff;
        }
        if (c.region == kNoRegion) {
            c.foldOff = uint32_t(fold.size());
            c.foldLen = 0;
            continue;
        }
        fold.push_back('\0');
        const uint32_t foldOff = uint32_t(fold.size());
        fold.append(m_fold.data() + c.foldOff, c.foldLen);
        c.foldOff = foldOff;
        c.region = uint32_t(starts.size());
        starts.push_back(foldOff);
        slots.push_back(int32_t(s));
    }
    m_maxRegionSlot = slots.empty() ? -1 : slots.back();
    m_inOrder = true;
    m_orig = std::move(orig);
    m_fold = std::move(fold);
    m_regionStart = std::move(starts);
    m_regionSlot = std::move(slots);
    m_garbage = 0;
}

void TextColumn::findContaining(std::string_view needle, std::vector<int> &out) const
{
    if (!m_hasFolded)
        const_cast<TextColumn *>(this)->buildFolded();
    const char *base = m_fold.data();
    const size_t n = m_fold.size();
    size_t pos = 0;
    while (pos < n) {
        const char *hit = findBytes(base + pos, n - pos, needle.data(), needle.size());
        if (!hit)
            break;
        const size_t at = size_t(hit - base);
        const auto it = std::upper_bound(m_regionStart.begin(), m_regionStart.end(), uint32_t(at));
        const size_t r = size_t(it - m_regionStart.begin()) - 1;
        if (m_regionSlot[r] >= 0)
            out.push_back(m_regionSlot[r]);
        pos = r + 1 < m_regionStart.size() ? m_regionStart[r + 1] : n;
    }
}

// ---- Table ----

Table::Table(Schema schema) : m_schema(std::move(schema))
{
    m_columns.resize(size_t(m_schema.size()));
    m_indexes.resize(size_t(m_schema.size()));
    for (qsizetype i = 0; i < m_schema.size(); ++i) {
        Column &c = m_columns[size_t(i)];
        c.def = m_schema[i];
        c.isText = FieldType::isText(c.def.type);
        c.isBinary = FieldType::isBinary(c.def.type);
    }
}

int Table::slotOfRowId(qint64 id) const
{
    const auto it = std::lower_bound(m_rowIds.begin(), m_rowIds.end(), id);
    if (it == m_rowIds.end() || *it != id)
        return -1;
    return int(it - m_rowIds.begin());
}

std::vector<int> Table::liveSlots() const
{
    std::vector<int> out;
    out.reserve(size_t(m_live));
    for (int s = 0; s < slotCount(); ++s) {
        if (m_deleted[size_t(s)] == 0)
            out.push_back(s);
    }
    return out;
}

int Table::beginLoadedRow(qint64 rowId)
{
    // Slots stay in row-id order; a file that breaks it gets fresh ids.
    if (rowId <= 0 || (!m_rowIds.empty() && rowId <= m_rowIds.back()))
        rowId = m_nextRowId;
    m_nextRowId = std::max(m_nextRowId, rowId + 1);
    m_rowIds.push_back(rowId);
    m_deleted.push_back(0);
    ++m_live;
    return int(m_rowIds.size()) - 1;
}

void Table::shrinkToFit()
{
    for (Column &c : m_columns) {
        if (c.isText)
            c.text.shrinkToFit();
    }
}

void Table::reserveRows(size_t rows, size_t bytes)
{
    for (Column &c : m_columns) {
        if (c.isText)
            c.text.deferFolding();
    }
    m_rowIds.reserve(rows);
    m_deleted.reserve(rows);
    for (Column &c : m_columns) {
        if (c.isText) {
            c.text.reserve(rows, bytes);
            continue;
        }
        c.null.reserve(rows);
        if (c.isBinary)
            c.bytes.reserve(rows);
        else
            c.numbers.reserve(rows);
    }
}

void Table::loadNumber(int field, double v)
{
    Column &c = m_columns[size_t(field)];
    c.numbers.push_back(v);
    c.null.push_back(0);
}

void Table::loadBytes(int field, QByteArray v)
{
    Column &c = m_columns[size_t(field)];
    c.bytes.push_back(std::move(v));
    c.null.push_back(0);
}

void Table::loadNull(int field)
{
    Column &c = m_columns[size_t(field)];
    if (c.isText) {
        c.text.appendNull();
        return;
    }
    if (c.isBinary)
        c.bytes.emplace_back();
    else
        c.numbers.push_back(0);
    c.null.push_back(1);
}

int Table::addRow(qint64 rowId)
{
    ++m_version;
    const int slot = beginLoadedRow(rowId);
    for (int f = 0; f < fieldCount(); ++f)
        loadNull(f);
    for (int f = 0; f < fieldCount(); ++f) {
        if (m_indexes[size_t(f)])
            indexAdd(f, slot);
    }
    return slot;
}

void Table::deleteRow(int slot)
{
    if (slot < 0 || slot >= slotCount() || m_deleted[size_t(slot)])
        return;
    for (int f = 0; f < fieldCount(); ++f) {
        if (m_indexes[size_t(f)])
            indexRemove(f, slot);
    }
    m_deleted[size_t(slot)] = 1;
    --m_live;
    ++m_deleteGen;
}

bool Table::isNull(int slot, int field) const
{
    const Column &c = m_columns[size_t(field)];
    return c.isText ? c.text.isNull(slot) : c.null[size_t(slot)] != 0;
}

QVariant Table::value(int slot, int field) const
{
    const Column &c = m_columns[size_t(field)];
    if (isNull(slot, field))
        return {};
    if (c.isText) {
        const std::string_view s = c.text.original(slot);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    if (c.isBinary)
        return c.bytes[size_t(slot)];
    const double v = c.numbers[size_t(slot)];
    switch (c.def.type) {
    case FieldType::Double:
    case FieldType::Date:
        return v;
    case FieldType::UnsignedInt:
        return qint64(v);
    default:
        return int(v);
    }
}

std::optional<QVariant> Table::coerce(int field, const QVariant &value, QString *error) const
{
    const FieldDef &def = m_schema[field];
    auto refuse = [&](const QString &why) -> std::optional<QVariant> {
        if (error)
            *error = QStringLiteral("Field \"%1\": %2").arg(def.name, why);
        return std::nullopt;
    };
    if (!value.isValid() || value.isNull())
        return QVariant();
    const int typeId = value.metaType().id();

    if (FieldType::isText(def.type)) {
        QString s = typeId == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray())
                                                    : value.toString();
        if (def.size > 0 && s.size() > def.size) {
            qsizetype cut = def.size;
            if (s[cut - 1].isHighSurrogate())
                --cut;
            s.truncate(cut);
        }
        return s;
    }
    if (FieldType::isBinary(def.type)) {
        const QByteArray b =
            typeId == QMetaType::QString ? value.toString().toUtf8() : value.toByteArray();
        if (def.size > 0 && b.size() > def.size)
            return refuse(
                QStringLiteral("%1 bytes exceed the size of %2").arg(b.size()).arg(def.size));
        return b;
    }

    double v = 0;
    if (typeId == QMetaType::Bool) {
        v = value.toBool() ? 1 : 0;
    } else if (typeId == QMetaType::QDateTime || typeId == QMetaType::QDate) {
        if (def.type != FieldType::Date && def.type != FieldType::Double)
            return refuse(QStringLiteral("a date does not fit"));
        const QDateTime dt = typeId == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0))
                                                        : value.toDateTime();
        if (!dt.isValid())
            return refuse(QStringLiteral("invalid date"));
        v = DateValue::fromDateTime(dt);
    } else if (typeId == QMetaType::QString || typeId == QMetaType::QByteArray) {
        const QString s = value.toString().trimmed();
        bool ok = false;
        v = s.toDouble(&ok);
        if (!ok && def.type == FieldType::Date) {
            const auto d = DateValue::parseGeneral(s);
            ok = d.has_value();
            v = d.value_or(0);
        }
        if (!ok)
            return refuse(QStringLiteral("\"%1\" is not a number").arg(s));
    } else {
        bool ok = false;
        v = value.toDouble(&ok);
        if (!ok)
            return refuse(QStringLiteral("the value is not a number"));
    }
    if (!std::isfinite(v))
        return refuse(QStringLiteral("the value is not a finite number"));
    if (const auto range = integerRange(def.type)) {
        v = std::round(v);
        if (v < range->min || v > range->max)
            return refuse(QStringLiteral("%1 is out of range").arg(v, 0, 'g', 17));
    }
    return v;
}

void Table::setValue(int slot, int field, const QVariant &value)
{
    ++m_version;
    const bool indexed = m_indexes[size_t(field)] != nullptr;
    if (indexed)
        indexRemove(field, slot);
    Column &c = m_columns[size_t(field)];
    const bool null = !value.isValid();
    if (c.isText) {
        if (null) {
            c.text.setNull(slot);
        } else {
            const QByteArray utf8 = value.toString().toUtf8();
            c.text.set(slot, utf8.constData(), size_t(utf8.size()));
        }
    } else if (c.isBinary) {
        c.bytes[size_t(slot)] = null ? QByteArray() : value.toByteArray();
        c.null[size_t(slot)] = null;
    } else {
        c.numbers[size_t(slot)] = null ? 0 : value.toDouble();
        c.null[size_t(slot)] = null;
    }
    if (indexed)
        indexAdd(field, slot);
}

bool Table::setIndexed(int field)
{
    if (field < 0 || field >= fieldCount() || m_columns[size_t(field)].isBinary)
        return false;
    if (m_indexes[size_t(field)])
        return true;
    m_indexes[size_t(field)] = std::make_unique<FieldIndex>();
    for (int s = 0; s < slotCount(); ++s) {
        if (isLive(s))
            indexAdd(field, s);
    }
    return true;
}

namespace {
void insertSorted(std::vector<int> &v, int slot)
{
    if (v.empty() || v.back() < slot)
        v.push_back(slot);
    else
        v.insert(std::lower_bound(v.begin(), v.end(), slot), slot);
}

void eraseSorted(std::vector<int> &v, int slot)
{
    const auto it = std::lower_bound(v.begin(), v.end(), slot);
    if (it != v.end() && *it == slot)
        v.erase(it);
}
} // namespace

void Table::indexAdd(int field, int slot)
{
    FieldIndex &ix = *m_indexes[size_t(field)];
    const Column &c = m_columns[size_t(field)];
    if (c.isText) {
        const std::string_view key = c.text.folded(slot);
        auto it = ix.text.find(key);
        if (it == ix.text.end())
            it = ix.text.emplace(std::string(key), std::vector<int>()).first;
        insertSorted(it->second, slot);
    } else if (!c.null[size_t(slot)]) {
        insertSorted(ix.numbers[c.numbers[size_t(slot)]], slot);
    }
}

void Table::indexRemove(int field, int slot)
{
    FieldIndex &ix = *m_indexes[size_t(field)];
    const Column &c = m_columns[size_t(field)];
    if (c.isText) {
        const auto it = ix.text.find(c.text.folded(slot));
        if (it != ix.text.end()) {
            eraseSorted(it->second, slot);
            if (it->second.empty())
                ix.text.erase(it);
        }
    } else if (!c.null[size_t(slot)]) {
        const auto it = ix.numbers.find(c.numbers[size_t(slot)]);
        if (it != ix.numbers.end()) {
            eraseSorted(it->second, slot);
            if (it->second.empty())
                ix.numbers.erase(it);
        }
    }
}

const expr::Parsed &Table::parsed(const QString &text, bool singleComparison)
{
    auto &cache = m_cache[singleComparison ? 1 : 0];
    auto it = cache.constFind(text);
    if (it != cache.constEnd())
        return *it;
    // The search box makes a new expression per keystroke: keep the cache small.
    if (cache.size() >= 512)
        cache.clear();
    return *cache.insert(text, expr::parse(text, m_schema, singleComparison));
}

bool Table::compare(const expr::Node &node, int slot) const
{
    using expr::Op;
    const Column &c = m_columns[size_t(node.field)];
    if (c.isText) {
        const std::string_view v = c.text.folded(slot);
        const std::string_view x = node.folded;
        switch (node.op) {
        case Op::Eq:
            return v == x;
        case Op::Ne:
            return v != x;
        case Op::Gt:
            return v > x;
        case Op::Ge:
            return v >= x;
        case Op::Lt:
            return v < x;
        case Op::Le:
            return v <= x;
        case Op::Like:
            return expr::likeMatch(v, node);
        }
        return false;
    }
    if (c.null[size_t(slot)])
        return node.op == Op::Ne;
    const double v = c.numbers[size_t(slot)];
    switch (node.op) {
    case Op::Eq:
        return v == node.number;
    case Op::Ne:
        return v != node.number;
    case Op::Gt:
        return v > node.number;
    case Op::Ge:
        return v >= node.number;
    case Op::Lt:
        return v < node.number;
    case Op::Le:
        return v <= node.number;
    case Op::Like:
        return false;
    }
    return false;
}

bool Table::matches(const expr::Node &node, int slot) const
{
    switch (node.kind) {
    case expr::Node::Kind::Compare:
        return compare(node, slot);
    case expr::Node::Kind::And:
        for (const auto &child : node.children) {
            if (!matches(*child, slot))
                return false;
        }
        return true;
    case expr::Node::Kind::Or:
        for (const auto &child : node.children) {
            if (matches(*child, slot))
                return true;
        }
        return false;
    }
    return false;
}

bool Table::lookupable(const expr::Node &node) const
{
    return node.kind == expr::Node::Kind::Compare && node.op == expr::Op::Eq &&
           m_indexes[size_t(node.field)] != nullptr;
}

std::optional<std::vector<int>> Table::lookup(const expr::Node &node) const
{
    if (!lookupable(node))
        return std::nullopt;
    const FieldIndex *ix = m_indexes[size_t(node.field)].get();
    if (node.textField) {
        const auto it = ix->text.find(std::string_view(node.folded));
        return it == ix->text.end() ? std::vector<int>() : it->second;
    }
    const auto it = ix->numbers.find(node.number);
    return it == ix->numbers.end() ? std::vector<int>() : it->second;
}

std::vector<int> Table::select(const expr::Node &node) const
{
    using Kind = expr::Node::Kind;
    if (node.kind == Kind::Compare) {
        if (auto hit = lookup(node))
            return std::move(*hit);
        const Column &c = m_columns[size_t(node.field)];
        if (c.isText && node.op == expr::Op::Like && !node.anchoredStart && !node.anchoredEnd &&
            node.segments.size() == 1) {
            std::vector<int> out;
            c.text.findContaining(node.segments.front(), out);
            std::erase_if(out, [&](int s) { return m_deleted[size_t(s)] != 0; });
            if (!c.text.regionsInSlotOrder())
                std::sort(out.begin(), out.end());
            return out;
        }
        std::vector<int> out;
        for (int s = 0; s < slotCount(); ++s) {
            if (m_deleted[size_t(s)] == 0 && compare(node, s))
                out.push_back(s);
        }
        return out;
    }
    if (node.kind == Kind::And) {
        // Start from an indexed comparison when there is one, then test the rest row by row.
        size_t first = 0;
        for (size_t i = 0; i < node.children.size(); ++i) {
            if (lookupable(*node.children[i])) {
                first = i;
                break;
            }
        }
        std::vector<int> out = select(*node.children[first]);
        for (size_t i = 0; i < node.children.size(); ++i) {
            if (i == first)
                continue;
            std::erase_if(out, [&](int s) { return !matches(*node.children[i], s); });
        }
        return out;
    }
    std::vector<int> out;
    for (const auto &child : node.children) {
        std::vector<int> part = select(*child);
        if (out.empty()) {
            out = std::move(part);
            continue;
        }
        std::vector<int> merged;
        merged.reserve(out.size() + part.size());
        std::set_union(out.begin(), out.end(), part.begin(), part.end(),
                       std::back_inserter(merged));
        out = std::move(merged);
    }
    return out;
}

bool Table::lessBy(const std::vector<expr::SortKey> &keys, int a, int b) const
{
    for (const expr::SortKey &k : keys) {
        const Column &c = m_columns[size_t(k.field)];
        int cmp = 0;
        if (c.isText) {
            const int r = c.text.folded(a).compare(c.text.folded(b));
            cmp = r < 0 ? -1 : r > 0 ? 1 : 0;
        } else if (!c.isBinary) {
            const bool na = c.null[size_t(a)], nb = c.null[size_t(b)];
            if (na || nb) {
                cmp = na == nb ? 0 : na ? -1 : 1; // Null first
            } else {
                const double va = c.numbers[size_t(a)], vb = c.numbers[size_t(b)];
                cmp = va < vb ? -1 : va > vb ? 1 : 0;
            }
        }
        if (cmp != 0)
            return k.descending ? cmp > 0 : cmp < 0;
    }
    return a < b;
}

void Table::sortSlots(std::vector<int> &slots, const std::vector<expr::SortKey> &keys) const
{
    if (keys.empty()) {
        std::sort(slots.begin(), slots.end());
        return;
    }
    std::vector<std::pair<int, bool>> signature;
    for (const expr::SortKey &k : keys)
        signature.emplace_back(k.field, k.descending);
    const bool ranked = m_ranks.version == m_version && m_ranks.keys == signature;
    if (!ranked && slots.size() * 8 < size_t(m_live)) {
        // A small subset after an edit: cheaper to compare than to rank everything again.
        std::sort(slots.begin(), slots.end(), [&](int a, int b) { return lessBy(keys, a, b); });
        return;
    }
    if (!ranked) {
        std::vector<int> all = liveSlots();
        std::sort(all.begin(), all.end(), [&](int a, int b) { return lessBy(keys, a, b); });
        m_ranks.rank.assign(size_t(slotCount()), 0);
        for (size_t i = 0; i < all.size(); ++i)
            m_ranks.rank[size_t(all[i])] = uint32_t(i);
        m_ranks.keys = std::move(signature);
        m_ranks.version = m_version;
    }
    const std::vector<uint32_t> &rank = m_ranks.rank;
    std::sort(slots.begin(), slots.end(),
              [&](int a, int b) { return rank[size_t(a)] < rank[size_t(b)]; });
}
