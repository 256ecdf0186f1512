#pragma once

#include "cli/SourceSpec.h"
#include "export/EvidenceSource.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"

#include <QString>

#include <memory>

class MessageChunkReader;

struct CliContext;

// The messages of a SOURCE, loaded as the window loads a tree node's: the
// folder's database read whole into one MsgDataSet, which owns the records
// the list points into. The database connection is closed again, so workers
// may write any folder meanwhile.
class CliMessageSource
{
public:
    // A phone source is connected and downloaded first; `country` is the
    // --country value (may be empty). Raises std::runtime_error when the
    // source does not exist.
    CliMessageSource(const SourceSpec &spec, const QString &country, CliContext &context);

    const QString &folder() const { return m_folder; }
    const QString &countryCode() const { return m_countryCode; }
    // The phone's uid for a phone source, else empty.
    const QString &phoneUid() const { return m_phoneUid; }
    // The source as an evidence package names it: a phone's cache by its
    // IMEI (and the model, known only when the phone was connected), a local
    // database by its name.
    const EvidenceSource &evidenceSource() const { return m_evidenceSource; }

    // Every message; with a `chat` identifier only that conversation's (all
    // chats sharing the identifier, as the window's tree groups them). Raises
    // std::runtime_error for an unknown conversation.
    MsgMessageList messages(const QString &chat = QString());
    // Every message, read from the database a chunk at a time by whoever
    // takes the reader (its own connection and records).
    std::unique_ptr<MessageChunkReader> reader() const;

    // The folder of a phone cache or local database that exists; raises
    // std::runtime_error when there is none.
    static QString existingFolder(const SourceSpec &spec);
    static QString cacheRoot();
    // True when `folder` holds a message database.
    static bool holdsDatabase(const QString &folder);

private:
    void load();

    SourceSpec m_spec;
    QString m_folder;
    QString m_countryCode;
    QString m_phoneUid;
    EvidenceSource m_evidenceSource;
    MsgDataSetPtr m_set;
};
