#pragma once

#include <QList>

#include "store/MsgMessage.h"

// Ordered references to messages owned by a MsgDataSet; what views and
// workers pass around.
using MsgMessageList = QList<_MsgMessage *>;
