#pragma once

#include "android/HashKey.h"

#include <QString>
#include <QStringView>

// A fingerprint of one "$sms:" record as it arrived, for recognising a record
// of an earlier download before reading it: SipHash-2-4 with its 128-bit
// output over the record's characters, keyed by the record's number as
// normalised for the phone's country, since that decides the record hash as
// much as the bytes do (the same bytes under another country code make
// another record).
HashKey recordFingerprint(const QString &address, QStringView argument);
