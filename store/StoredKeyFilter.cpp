#include "store/StoredKeyFilter.h"

#include <QHashFunctions>

namespace {

// 2^23 bits (1 MB): one key in 50 falsely "may be stored" at a million keys.
constexpr quint64 kBits = quint64(1) << 23;
constexpr int kProbes = 4;

// The probes of a key by double hashing: two independent hashes give them all.
template <typename Visit>
bool forEachProbe(const QString &key, Visit visit)
{
    const quint64 first = qHash(key, size_t(0x9e3779b97f4a7c15ULL));
    const quint64 second = qHash(key, size_t(0xc2b2ae3d27d4eb4fULL)) | 1;
    for (int i = 0; i < kProbes; ++i) {
        if (!visit((first + quint64(i) * second) & (kBits - 1)))
            return false;
    }
    return true;
}

}  // namespace

void StoredKeyFilter::reset(bool complete)
{
    m_complete = complete;
    m_words.assign(complete ? kBits / 64 : 0, 0);
}

void StoredKeyFilter::add(const QString &key)
{
    if (!m_complete)
        return;
    forEachProbe(key, [this](quint64 bit) {
        m_words[bit / 64] |= quint64(1) << (bit % 64);
        return true;
    });
}

bool StoredKeyFilter::mayHold(const QString &key) const
{
    if (!m_complete)
        return true;
    return forEachProbe(key, [this](quint64 bit) { return (m_words[bit / 64] >> (bit % 64)) & 1; });
}
