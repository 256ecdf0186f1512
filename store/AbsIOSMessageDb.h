#pragma once

#include "store/AbsMessageDb.h"

// A message database in a phone message-store layout (one subclass per
// layout version).
class AbsIOSMessageDb : public AbsMessageDb
{
public:
    ~AbsIOSMessageDb() override = default;
};
