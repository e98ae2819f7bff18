#pragma once

#include "store/Expression.h"
#include "store/Schemas.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include <algorithm>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The rows behind Recordset cursors. Rows live in slots that are never reused: a slot is made by
// AddNew or a load and only marked deleted afterwards, so cursors can keep plain slot lists.
// Slot order is row-id order, which is the stored order.

// A growable byte buffer on realloc, which moves large blocks by remapping instead of copying.
class Bytes
{
public:
    Bytes() = default;
    Bytes(const Bytes &) = delete;
    Bytes &operator=(const Bytes &) = delete;
    Bytes(Bytes &&other) noexcept { swap(other); }
    Bytes &operator=(Bytes &&other) noexcept
    {
        Bytes tmp(std::move(other));
        swap(tmp);
        return *this;
    }
    ~Bytes() { std::free(m_data); }

    const char *data() const { return m_data ? m_data : ""; }
    size_t size() const { return m_size; }
    void reserve(size_t capacity);
    void shrinkToFit();
    // Room for `n` more bytes at the end; commit() then takes what was written.
    char *grow(size_t n)
    {
        if (m_size + n > m_capacity)
            reserve(std::max(m_size + n, m_capacity + m_capacity / 2 + 4096));
        return m_data + m_size;
    }
    void commit(size_t n) { m_size += n; }
    void append(const char *p, size_t n)
    {
        std::memcpy(grow(n), p, n);
        m_size += n;
    }
    void push_back(char c) { append(&c, 1); }

private:
    void swap(Bytes &o) noexcept
    {
        std::swap(m_data, o.m_data);
        std::swap(m_size, o.m_size);
        std::swap(m_capacity, o.m_capacity);
    }
    char *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// Text cells: the original UTF-8 and a case-folded copy. The folded copies sit one after another
// in a single buffer (each preceded by a NUL) so that LIKE '*x*' is one substring search over the
// whole column; a changed cell gets a new region at the end and the old one becomes garbage.
// The original is kept apart only where it differs from the folded copy. A loaded column is
// folded on first use, so that opening a store costs one copy of its text.
class TextColumn
{
public:
    void reserve(size_t rows, size_t bytes);
    void deferFolding() { m_hasFolded = false; }
    void shrinkToFit();
    void appendNull();
    void append(const char *utf8, size_t size);
    void set(int slot, const char *utf8, size_t size);
    void setNull(int slot);

    bool isNull(int slot) const { return m_null[size_t(slot)] != 0; }
    std::string_view original(int slot) const
    {
        const Cell &c = m_cells[size_t(slot)];
        if (c.origOff == kSameAsFolded)
            return {m_fold.data() + c.foldOff, c.foldLen};
        return {m_orig.data() + c.origOff, c.origLen};
    }
    std::string_view folded(int slot) const
    {
        if (!m_hasFolded)
            const_cast<TextColumn *>(this)->buildFolded();
        const Cell &c = m_cells[size_t(slot)];
        return {m_fold.data() + c.foldOff, c.foldLen};
    }

    // Slots whose folded text contains `needle` (folded, not empty), each once, in no order.
    void findContaining(std::string_view needle, std::vector<int> &out) const;
    // Whether the regions are still in slot order (true until a cell changes).
    bool regionsInSlotOrder() const { return m_inOrder; }

private:
    static constexpr uint32_t kSameAsFolded = 0xffffffffu;
    struct Cell
    {
        uint32_t origOff = 0, origLen = 0, foldOff = 0, foldLen = 0, region = 0;
    };
    void appendRegion(int slot, const char *utf8, size_t size, Cell &cell);
    void appendOriginal(const char *utf8, size_t size, Cell &cell);
    void buildFolded();
    void release(Cell &cell);
    void maybeCompact();

    Bytes m_orig;
    Bytes m_fold;
    std::vector<Cell> m_cells;
    std::vector<uint8_t> m_null;
    std::vector<uint32_t> m_regionStart; // offset of each region's first text byte, ascending
    std::vector<int32_t> m_regionSlot;   // -1 once superseded
    size_t m_garbage = 0;
    int m_maxRegionSlot = -1;
    bool m_inOrder = true;
    bool m_hasFolded = true;
    std::string m_scratch;
    std::string m_scratchFold;
};

struct Column
{
    FieldDef def;
    TextColumn text;               // text fields
    std::vector<double> numbers;   // number and date fields
    std::vector<QByteArray> bytes; // binary fields
    std::vector<uint8_t> null;     // number and binary fields
    bool isText = false;
    bool isBinary = false;
};

struct FoldedHash
{
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// Equality index of one field: case-folded text (Null as '') or number (Null left out) to the
// live slots holding it, ascending.
struct FieldIndex
{
    std::unordered_map<std::string, std::vector<int>, FoldedHash, std::equal_to<>> text;
    std::unordered_map<double, std::vector<int>> numbers;
};

class Table
{
public:
    explicit Table(Schema schema);

    const Schema &schema() const { return m_schema; }
    int fieldCount() const { return int(m_columns.size()); }
    QString path;

    int slotCount() const { return int(m_rowIds.size()); }
    int liveCount() const { return m_live; }
    bool isLive(int slot) const { return m_deleted[size_t(slot)] == 0; }
    qint64 rowId(int slot) const { return m_rowIds[size_t(slot)]; }
    int slotOfRowId(qint64 id) const; // -1 when unknown
    uint64_t deleteGeneration() const { return m_deleteGen; }
    std::vector<int> liveSlots() const;

    // A new row, all fields Null. `rowId` 0: the next free id.
    int addRow(qint64 rowId = 0);
    void deleteRow(int slot);

    // Loading: append a row whose cells the caller then fills with the load* calls, in field order.
    int beginLoadedRow(qint64 rowId);
    // Before a load: room for about `rows` rows and `bytes` of text per text field (only what is
    // used gets memory); after it, shrinkToFit gives back the rest.
    void reserveRows(size_t rows, size_t bytes);
    void shrinkToFit();
    void loadText(int field, const char *utf8, size_t size)
    {
        m_columns[field].text.append(utf8, size);
    }
    void loadNumber(int field, double v);
    void loadBytes(int field, QByteArray v);
    void loadNull(int field);

    const Column &column(int field) const { return m_columns[size_t(field)]; }
    QVariant value(int slot, int field) const;
    bool isNull(int slot, int field) const;
    // `value` must come from coerce().
    void setValue(int slot, int field, const QVariant &value);
    // The value as the field stores it, or nullopt with the reason.
    std::optional<QVariant> coerce(int field, const QVariant &value, QString *error) const;

    bool setIndexed(int field);
    bool isIndexed(int field) const { return m_indexes[size_t(field)] != nullptr; }

    // Parsed expressions, cached by their text.
    const expr::Parsed &parsed(const QString &text, bool singleComparison);

    // Live slots matching `node`, ascending.
    std::vector<int> select(const expr::Node &node) const;
    bool matches(const expr::Node &node, int slot) const;
    // Index candidates for an equality comparison on an indexed field; nullopt when the index
    // cannot answer it.
    std::optional<std::vector<int>> lookup(const expr::Node &node) const;
    bool lookupable(const expr::Node &node) const;

    void sortSlots(std::vector<int> &slots, const std::vector<expr::SortKey> &keys) const;

private:
    bool lessBy(const std::vector<expr::SortKey> &keys, int a, int b) const;
    void indexAdd(int field, int slot);
    void indexRemove(int field, int slot);
    bool compare(const expr::Node &node, int slot) const;

    Schema m_schema;
    std::vector<Column> m_columns;
    std::vector<qint64> m_rowIds;
    std::vector<uint8_t> m_deleted;
    std::vector<std::unique_ptr<FieldIndex>> m_indexes;
    int m_live = 0;
    qint64 m_nextRowId = 1;
    uint64_t m_deleteGen = 0;
    QHash<QString, expr::Parsed> m_cache[2];

    // Every live row's rank under the last full sort, so that sorting a filtered subset (a
    // folder of favorites) compares integers. Any edit makes it stale.
    uint64_t m_version = 0;
    struct SortRanks
    {
        std::vector<std::pair<int, bool>> keys;
        std::vector<uint32_t> rank;
        uint64_t version = ~uint64_t(0);
    };
    mutable SortRanks m_ranks;
};
