#pragma once

#include "SimMessage.h"

#include <QFile>
#include <QMap>
#include <QMutex>
#include <QString>

// The simulated phone's storage, a folder:
//   phone.json      the identity the agent reports ("info": key -> value)
//   messages.jsonl  one message per line (SimMessage as JSON), oldest first
//   parts/          the files of the MMS parts
// Messages are streamed line by line, so a store of any size costs one message
// of memory per reader. One store object may serve several exchanges at once.
class PhoneStore
{
public:
    explicit PhoneStore(const QString &folder);

    QString folder() const;
    // Creates the folder layout when it is missing; throws on failure.
    void ensureLayout() const;

    QMap<QString, QString> info() const;
    void setInfo(const QMap<QString, QString> &info) const;

    qint64 messageCount() const;
    void appendMessage(const SimMessage &message);
    // Appends all or, on failure, throws; one write for the lot.
    void appendMessages(const QList<SimMessage> &messages);

    // A new, unique file below parts/ for a part named `name`, returned relative
    // to the folder. Only the name's safe characters are kept, so a hostile name
    // never leaves the folder.
    QString newPartFile(const QString &name) const;
    // Absolute path of a stored part file; throws when it would leave parts/.
    QString partPath(const QString &relativeFile) const;

    // Reads messages in store order; sees the messages present when it opened.
    class Reader
    {
    public:
        explicit Reader(PhoneStore &store);
        qint64 count() const;
        bool next(SimMessage &message);

    private:
        QFile m_file;
        qint64 m_count = 0;
        qint64 m_read = 0;
    };

private:
    QString messagesPath() const;
    qint64 countLinesLocked() const;

    QString m_folder;
    mutable QMutex m_mutex;   // one writer; readers count under it
};
