#include "store/Recordset.h"

#include "store/BackgroundSaves.h"
#include "store/StoreFile.h"
#include "store/Table.h"

#include <algorithm>

// What one cursor sees: a list of slots in its order. An unfiltered cursor also takes in rows
// that other cursors add; every cursor drops rows that any cursor deleted.
struct Recordset::Cursor
{
    std::vector<int> rows;
    int pos = 0; // -1: BOF; rows.size(): EOF
    bool afterDelete = false;

    bool filtered = false;
    QString filterText;
    std::shared_ptr<const expr::Node> filter;
    QString sortText;
    std::vector<expr::SortKey> sortKeys;

    size_t seenSlots = 0;
    uint64_t seenDeleteGen = 0;

    int pendingSlot = -1;
    std::vector<std::pair<int, QVariant>> pending;

    std::vector<int> posOfSlot; // filled lazily; -1 when not visible
    bool posValid = false;

    // The rows this cursor sees, in the table's own order: what a save writes.
    std::vector<int> rowsInFileOrder(const Table &t)
    {
        sync(t);
        std::vector<int> slots = rows;
        std::sort(slots.begin(), slots.end());
        return slots;
    }

    void sync(const Table &t)
    {
        if (!filtered && size_t(t.slotCount()) > seenSlots) {
            for (int s = int(seenSlots); s < t.slotCount(); ++s) {
                if (t.isLive(s))
                    rows.push_back(s);
            }
            seenSlots = size_t(t.slotCount());
            posValid = false;
        }
        if (seenDeleteGen != t.deleteGeneration()) {
            seenDeleteGen = t.deleteGeneration();
            int removedBefore = 0;
            bool currentRemoved = false;
            size_t out = 0;
            for (size_t i = 0; i < rows.size(); ++i) {
                if (!t.isLive(rows[i])) {
                    if (int(i) < pos)
                        ++removedBefore;
                    else if (int(i) == pos && !afterDelete)
                        currentRemoved = true;
                    continue;
                }
                rows[out++] = rows[i];
            }
            if (out != rows.size()) {
                rows.resize(out);
                pos -= removedBefore;
                if (currentRemoved)
                    afterDelete = true;
                posValid = false;
            }
        }
    }

    void reset(const Table &t, std::vector<int> slots)
    {
        rows = std::move(slots);
        if (!sortKeys.empty() || !std::is_sorted(rows.begin(), rows.end()))
            t.sortSlots(rows, sortKeys);
        seenSlots = size_t(t.slotCount());
        seenDeleteGen = t.deleteGeneration();
        pos = 0;
        afterDelete = false;
        posValid = false;
    }

    int current() const
    {
        if (afterDelete || pos < 0 || pos >= int(rows.size()))
            return -1;
        return rows[size_t(pos)];
    }

    int positionOf(const Table &t, int slot)
    {
        if (!posValid) {
            posOfSlot.assign(size_t(t.slotCount()), -1);
            for (size_t i = 0; i < rows.size(); ++i)
                posOfSlot[size_t(rows[i])] = int(i);
            posValid = true;
        }
        return slot < int(posOfSlot.size()) ? posOfSlot[size_t(slot)] : -1;
    }
};

Recordset::Recordset() = default;
Recordset::~Recordset()
{
    if (m_table)
        commitPending();
}
Recordset::Recordset(Recordset &&) noexcept = default;
Recordset &Recordset::operator=(Recordset &&other) noexcept
{
    if (this != &other) {
        if (m_table)
            commitPending();
        m_table = std::move(other.m_table);
        m_cursor = std::move(other.m_cursor);
        m_lastError = std::move(other.m_lastError);
    }
    return *this;
}

Recordset::Recordset(std::shared_ptr<Table> table)
    : m_table(std::move(table)), m_cursor(std::make_unique<Cursor>())
{
    m_cursor->reset(*m_table, m_table->liveSlots());
}

Recordset Recordset::Create(const Schema &schema, const QString &path)
{
    auto table = std::make_shared<Table>(schema);
    table->path = path;
    return Recordset(std::move(table));
}

std::optional<Recordset> Recordset::Open(const QString &path, QString *error)
{
    auto table = StoreFile::load(path, error);
    if (!table)
        return std::nullopt;
    return Recordset(std::move(table));
}

bool Recordset::fail(const QString &message) const
{
    m_lastError = message;
    return false;
}

bool Recordset::State() const
{
    return m_table != nullptr;
}

void Recordset::Close()
{
    if (!m_table)
        return;
    commitPending();
    m_cursor.reset();
    m_table.reset();
}

QString Recordset::path() const
{
    return m_table ? m_table->path : QString();
}

const Schema &Recordset::schema() const
{
    static const Schema empty;
    return m_table ? m_table->schema() : empty;
}

int Recordset::FieldCount() const
{
    return m_table ? m_table->fieldCount() : 0;
}

int Recordset::FieldIndex(const QString &name) const
{
    return m_table ? expr::fieldIndex(m_table->schema(), name) : -1;
}

void Recordset::commitPending()
{
    Cursor &c = *m_cursor;
    if (c.pendingSlot >= 0 && c.pendingSlot < m_table->slotCount() &&
        m_table->isLive(c.pendingSlot)) {
        for (const auto &[field, value] : c.pending)
            m_table->setValue(c.pendingSlot, field, value);
    }
    c.pendingSlot = -1;
    c.pending.clear();
}

QVariant Recordset::Field(const QString &name) const
{
    const int index = FieldIndex(name);
    if (index < 0) {
        fail(QStringLiteral("Unknown field \"%1\"").arg(name));
        return {};
    }
    return Field(index);
}

QVariant Recordset::Field(int index) const
{
    if (!m_table) {
        fail(QStringLiteral("The store is closed"));
        return {};
    }
    if (index < 0 || index >= m_table->fieldCount()) {
        fail(QStringLiteral("No field %1").arg(index));
        return {};
    }
    m_cursor->sync(*m_table);
    const int slot = m_cursor->current();
    if (slot < 0) {
        fail(QStringLiteral("No current record"));
        return {};
    }
    if (slot == m_cursor->pendingSlot) {
        for (const auto &[field, value] : m_cursor->pending) {
            if (field == index)
                return value;
        }
    }
    return m_table->value(slot, index);
}

bool Recordset::SetField(const QString &name, const QVariant &value)
{
    const int index = FieldIndex(name);
    if (index < 0)
        return fail(QStringLiteral("Unknown field \"%1\"").arg(name));
    return SetField(index, value);
}

bool Recordset::SetField(int index, const QVariant &value)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    if (index < 0 || index >= m_table->fieldCount())
        return fail(QStringLiteral("No field %1").arg(index));
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    const int slot = c.current();
    if (slot < 0)
        return fail(QStringLiteral("No current record"));
    QString why;
    auto coerced = m_table->coerce(index, value, &why);
    if (!coerced)
        return fail(why);
    if (c.pendingSlot != slot) {
        commitPending();
        c.pendingSlot = slot;
    }
    for (auto &[field, v] : c.pending) {
        if (field == index) {
            v = std::move(*coerced);
            return true;
        }
    }
    c.pending.emplace_back(index, std::move(*coerced));
    return true;
}

void Recordset::AddNew()
{
    if (!m_table)
        return;
    commitPending();
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    const int slot = m_table->addRow();
    if (c.filtered)
        c.rows.push_back(slot);
    c.sync(*m_table);
    c.posValid = false;
    c.pos = int(c.rows.size()) - 1;
    c.afterDelete = false;
    c.pendingSlot = slot;
}

bool Recordset::AddNew(const QStringList &names, const QVariantList &values)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    if (names.size() != values.size())
        return fail(
            QStringLiteral("AddNew: %1 names for %2 values").arg(names.size()).arg(values.size()));
    AddNew();
    bool ok = true;
    QString firstError;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!SetField(names[i], values[i]) && ok) {
            ok = false;
            firstError = m_lastError;
        }
    }
    Update();
    if (!ok)
        m_lastError = firstError;
    return ok;
}

void Recordset::Update()
{
    if (m_table)
        commitPending();
}

bool Recordset::Delete()
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    const int slot = c.current();
    if (slot < 0)
        return fail(QStringLiteral("No current record"));
    if (c.pendingSlot == slot) {
        c.pendingSlot = -1;
        c.pending.clear();
    } else {
        commitPending();
    }
    m_table->deleteRow(slot);
    c.sync(*m_table); // drops the row; the position now names the record after it
    return true;
}

void Recordset::MoveFirst()
{
    if (!m_table)
        return;
    commitPending();
    m_cursor->sync(*m_table);
    m_cursor->pos = 0;
    m_cursor->afterDelete = false;
}

void Recordset::MoveLast()
{
    if (!m_table)
        return;
    commitPending();
    m_cursor->sync(*m_table);
    m_cursor->pos = std::max(0, int(m_cursor->rows.size()) - 1);
    m_cursor->afterDelete = false;
}

void Recordset::MoveNext()
{
    if (!m_table)
        return;
    commitPending();
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    if (c.afterDelete)
        c.afterDelete = false; // already on the record after the deleted one
    else
        c.pos = std::min(c.pos + 1, int(c.rows.size()));
}

void Recordset::MovePrevious()
{
    if (!m_table)
        return;
    commitPending();
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    c.afterDelete = false;
    c.pos = std::max(c.pos - 1, -1);
}

bool Recordset::isEOF() const
{
    if (!m_table)
        return true;
    m_cursor->sync(*m_table);
    const Cursor &c = *m_cursor;
    return c.rows.empty() || (!c.afterDelete && c.pos >= int(c.rows.size()));
}

bool Recordset::isBOF() const
{
    if (!m_table)
        return true;
    m_cursor->sync(*m_table);
    const Cursor &c = *m_cursor;
    return c.rows.empty() || c.pos < 0;
}

int Recordset::RecordCount() const
{
    if (!m_table)
        return 0;
    m_cursor->sync(*m_table);
    return int(m_cursor->rows.size());
}

double Recordset::Bookmark() const
{
    if (!m_table)
        return 0;
    m_cursor->sync(*m_table);
    const int slot = m_cursor->current();
    return slot < 0 ? 0 : double(m_table->rowId(slot));
}

bool Recordset::SetBookmark(double bookmark)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    const int slot = m_table->slotOfRowId(qint64(bookmark));
    if (slot < 0 || double(m_table->rowId(slot)) != bookmark || !m_table->isLive(slot))
        return fail(QStringLiteral("No record has the bookmark %1").arg(bookmark));
    const int position = c.positionOf(*m_table, slot);
    if (position < 0)
        return fail(QStringLiteral("The record %1 is not visible").arg(bookmark));
    commitPending();
    c.pos = position;
    c.afterDelete = false;
    return true;
}

int Recordset::AbsolutePosition() const
{
    if (!m_table)
        return 0;
    m_cursor->sync(*m_table);
    return m_cursor->current() < 0 ? 0 : m_cursor->pos + 1;
}

bool Recordset::SetAbsolutePosition(int position)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    if (position < 1 || position > int(c.rows.size()))
        return fail(QStringLiteral("No record at position %1").arg(position));
    commitPending();
    c.pos = position - 1;
    c.afterDelete = false;
    return true;
}

bool Recordset::SetFilter(const QString &expression)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    if (expression.trimmed().isEmpty()) {
        ClearFilter();
        return true;
    }
    const expr::Parsed &p = m_table->parsed(expression, false);
    if (!p.node)
        return fail(p.error);
    commitPending();
    Cursor &c = *m_cursor;
    c.filtered = true;
    c.filterText = expression;
    c.filter = p.node;
    c.reset(*m_table, m_table->select(*p.node));
    return true;
}

void Recordset::ClearFilter()
{
    if (!m_table)
        return;
    commitPending();
    Cursor &c = *m_cursor;
    c.filtered = false;
    c.filterText.clear();
    c.filter.reset();
    c.reset(*m_table, m_table->liveSlots());
}

QString Recordset::Filter() const
{
    return m_cursor ? m_cursor->filterText : QString();
}

bool Recordset::SetSort(const QString &order)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    std::vector<expr::SortKey> keys;
    QString why;
    if (!expr::parseSort(order, m_table->schema(), &keys, &why))
        return fail(why);
    commitPending();
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    c.sortKeys = std::move(keys);
    c.sortText = order.trimmed();
    std::vector<int> rows = std::move(c.rows);
    c.reset(*m_table, std::move(rows));
    return true;
}

QString Recordset::Sort() const
{
    return m_cursor ? m_cursor->sortText : QString();
}

bool Recordset::Find(const QString &criterion)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    commitPending();
    Cursor &c = *m_cursor;
    c.sync(*m_table);
    c.afterDelete = false;
    const expr::Parsed &p = m_table->parsed(criterion, true);
    if (!p.node) {
        c.pos = int(c.rows.size());
        return fail(p.error);
    }
    if (auto candidates = m_table->lookup(*p.node)) {
        int best = -1;
        for (const int slot : *candidates) {
            const int position = c.positionOf(*m_table, slot);
            if (position >= 0 && (best < 0 || position < best))
                best = position;
        }
        c.pos = best < 0 ? int(c.rows.size()) : best;
        return best >= 0;
    }
    for (size_t i = 0; i < c.rows.size(); ++i) {
        if (m_table->matches(*p.node, c.rows[i])) {
            c.pos = int(i);
            return true;
        }
    }
    c.pos = int(c.rows.size());
    return false;
}

bool Recordset::SetIndexed(const QString &field)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    if (!m_table->setIndexed(FieldIndex(field)))
        return fail(QStringLiteral("Cannot index the field \"%1\"").arg(field));
    return true;
}

Recordset Recordset::Clone() const
{
    if (!m_table)
        return Recordset();
    const_cast<Recordset *>(this)->commitPending();
    return Recordset(m_table);
}

bool Recordset::Save()
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    if (m_table->path.isEmpty())
        return fail(QStringLiteral("The store has no file"));
    return Save(m_table->path);
}

bool Recordset::Save(const QString &path)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    commitPending();
    const std::vector<int> slots = m_cursor->rowsInFileOrder(*m_table);
    QString why;
    if (!StoreFile::save(*m_table, slots, path, &why))
        return fail(why);
    m_table->path = path;
    return true;
}

bool Recordset::SaveInBackground(BackgroundSaves &saves,
                                 std::function<void(bool ok, const QString &error)> done)
{
    if (!m_table)
        return fail(QStringLiteral("The store is closed"));
    if (m_table->path.isEmpty())
        return fail(QStringLiteral("The store has no file"));
    commitPending();
    const std::vector<int> slots = m_cursor->rowsInFileOrder(*m_table);
    QString why;
    const std::optional<StoreFile::WrittenTemp> written =
        StoreFile::writeTemp(*m_table, slots, m_table->path, &why);
    if (!written)
        return fail(why);
    saves.commitLater(*written, std::move(done));
    return true;
}

int DeleteMatching(Recordset &rs, const QString &filter,
                   const std::function<void(const Recordset &)> &visit)
{
    if (!rs.SetFilter(filter)) {
        rs.ClearFilter();
        return -1;
    }
    int deleted = 0;
    // A deleted record stays current until the move: MoveNext goes to the one after it.
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        if (visit)
            visit(rs);
        if (rs.Delete())
            ++deleted;
    }
    rs.ClearFilter();
    return deleted;
}
