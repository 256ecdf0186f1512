#pragma once

#include <QByteArray>
#include <QStringView>

// Base64 as the agent sends it (standard alphabet, "=" padding), decoded
// straight from the received text: attachment data lines are tens of
// kilobytes each, and the general decoder's detour through a byte copy and its
// per-character checks cost more than the rest of their handling. Anything
// else (line breaks, URL-safe letters, missing padding, stray characters) is
// handed to QByteArray::fromBase64, so the result is always the same as its.
QByteArray decodeBase64(QStringView text);
