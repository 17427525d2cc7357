#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace vellmar::table {

// The key under which a record with this id is kept: decimal text without
// leading blanks or zeros (17 -> "17").
inline QString recordKey(std::int32_t id) { return QString::number(id); }

// Records in the order they were added, each under a unique text key. Records
// are shared: a selection or an open dialog that still holds one keeps it
// alive after it left the collection.
template <typename Record>
class KeyedCollection
{
public:
    using Pointer = std::shared_ptr<Record>;

    // Adds at the end under the record's id. A key that is already held is
    // refused: false, and the collection stays as it was.
    bool add(Pointer record)
    {
        if (!record)
            return false;
        const QString key = recordKey(record->id);
        return add(key, std::move(record));
    }

    bool add(const QString &key, Pointer record)
    {
        if (!record || m_byKey.contains(key))
            return false;
        m_byKey.insert(key, record);
        m_order.push_back(Entry{key, std::move(record)});
        return true;
    }

    // False when no record is kept under the key.
    bool remove(const QString &key)
    {
        if (m_byKey.remove(key) == 0)
            return false;
        const auto found =
            std::find_if(m_order.begin(), m_order.end(), [&key](const Entry &e) { return e.key == key; });
        m_order.erase(found);
        return true;
    }

    // Null when no record is kept under the key.
    Pointer find(const QString &key) const { return m_byKey.value(key); }
    Pointer find(std::int32_t id) const { return find(recordKey(id)); }
    bool contains(const QString &key) const { return m_byKey.contains(key); }

    std::size_t size() const { return m_order.size(); }
    bool isEmpty() const { return m_order.empty(); }

    // Walks the records first to last, in the order they were added.
    template <typename Visit>
    void forEach(Visit &&visit) const
    {
        for (const Entry &entry : m_order)
            visit(static_cast<const Record &>(*entry.record));
    }

    // The records first to last, as shared pointers.
    std::vector<Pointer> records() const
    {
        std::vector<Pointer> result;
        result.reserve(m_order.size());
        for (const Entry &entry : m_order)
            result.push_back(entry.record);
        return result;
    }

private:
    struct Entry
    {
        QString key;
        Pointer record;
    };
    std::vector<Entry> m_order;
    QHash<QString, Pointer> m_byKey;
};

} // namespace vellmar::table
