#include "android/RecordFingerprint.h"

#include <QtEndian>

#include <cstring>

namespace {

// Any fixed key will do: the fingerprint guards against accidents, not
// against an adversary who could choose the phone's messages.
const HashKey AddressKey{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};

quint64 rotateLeft(quint64 value, int bits)
{
    return (value << bits) | (value >> (64 - bits));
}

struct SipState
{
    quint64 v0, v1, v2, v3;

    explicit SipState(const HashKey &key)
        : v0(key.high ^ 0x736f6d6570736575ULL)
        , v1(key.low ^ 0x646f72616e646f6dULL ^ 0xee)
        , v2(key.high ^ 0x6c7967656e657261ULL)
        , v3(key.low ^ 0x7465646279746573ULL)
    {
    }

    void round()
    {
        v0 += v1;
        v1 = rotateLeft(v1, 13);
        v1 ^= v0;
        v0 = rotateLeft(v0, 32);
        v2 += v3;
        v3 = rotateLeft(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = rotateLeft(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = rotateLeft(v1, 17);
        v1 ^= v2;
        v2 = rotateLeft(v2, 32);
    }

    void absorb(quint64 word)
    {
        v3 ^= word;
        round();
        round();
        v0 ^= word;
    }

    quint64 squeeze(quint64 marker)
    {
        v2 ^= marker;
        for (int i = 0; i < 4; ++i)
            round();
        return v0 ^ v1 ^ v2 ^ v3;
    }
};

// SipHash-2-4 with its 128-bit output.
HashKey sipHash128(const HashKey &key, const char *bytes, qsizetype size)
{
    SipState state(key);
    const qsizetype whole = size - size % 8;
    for (qsizetype i = 0; i < whole; i += 8)
        state.absorb(qFromLittleEndian<quint64>(bytes + i));
    char tail[8] = {};
    std::memcpy(tail, bytes + whole, size_t(size - whole));
    state.absorb(qFromLittleEndian<quint64>(tail) | (quint64(size) << 56));
    HashKey result;
    result.high = state.squeeze(0xee);
    state.v1 ^= 0xdd;
    result.low = state.squeeze(0);
    return result;
}

} // namespace

HashKey recordFingerprint(const QString &address, QStringView argument)
{
    const HashKey key = sipHash128(AddressKey, reinterpret_cast<const char *>(address.utf16()),
                                   address.size() * qsizetype(sizeof(char16_t)));
    return sipHash128(key, reinterpret_cast<const char *>(argument.utf16()),
                      argument.size() * qsizetype(sizeof(char16_t)));
}
