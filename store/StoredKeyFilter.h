#pragma once

#include <QString>

#include <vector>

// Tells, without asking SQLite, that a key (a content hash, a guid) is
// certainly not stored, for a table that was empty when the run began: only
// the keys the run added can be there. A fixed bit set (Bloom filter), so its
// memory does not grow with the number of messages; a key it cannot rule out
// is looked up as before, so it never hides a stored row.
class StoredKeyFilter
{
public:
    // `complete`: the filter will be told every key the table gets. When not,
    // every key may be stored and lookups go to the database as ever.
    void reset(bool complete);
    void add(const QString &key);
    bool mayHold(const QString &key) const;

private:
    bool m_complete = false;
    std::vector<quint64> m_words;
};
