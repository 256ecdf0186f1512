#pragma once

#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

// A 128-bit hash (a record or message hash, 32 hex digits, or a record's
// fingerprint) as its two 64-bit halves: compact set entries, compared
// without following pointers.
struct HashKey
{
    quint64 high = 0;
    quint64 low = 0;

    // Zero for anything but 32 hex digits.
    static HashKey fromHex(QStringView hash);
    QString toHex() const;
    friend bool operator==(const HashKey &a, const HashKey &b) { return a.high == b.high && a.low == b.low; }
    friend bool operator<(const HashKey &a, const HashKey &b)
    {
        return a.high != b.high ? a.high < b.high : a.low < b.low;
    }
    friend size_t qHash(const HashKey &key, size_t seed = 0) { return qHashMulti(seed, key.high, key.low); }
};
