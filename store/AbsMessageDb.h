#pragma once

#include "store/AbsDb.h"

class MsgDataSet;

// A database of messages the views can browse: its conversations and their
// messages load into a MsgDataSet.
class AbsMessageDb : public AbsDb
{
public:
    ~AbsMessageDb() override = default;

    // Every chat and every handle linked to a chat.
    virtual void chats(MsgDataSet &set) = 0;
    // chats(), then the messages and attachments of chat `chatRowid`, or of
    // every chat when `chatRowid` <= 0.
    virtual void messages(MsgDataSet &set, qint64 chatRowid) = 0;
    // Version of the phone message-store layout the file follows.
    virtual int schemaVersion() const = 0;
};
