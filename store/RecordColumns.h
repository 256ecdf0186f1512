#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QString>

#include <variant>

#include "store/Sqlite3Cursor.h"

class _MsgAttachment;
class _MsgChat;
class _MsgHandle;
class _MsgMessage;

// Position of a result column: the exact name first, else ignoring case as
// SQLite does ("rowid" finds "ROWID"); -1 when absent.
int columnPosition(const QStringList &names, const QString &name);

// Reads the columns of a result row into the record fields of the same name.
// Column positions are looked up once per cursor (resolve), not per row; a
// column the result lacks (an older file) leaves its field as it is.
template <typename Record>
class ColumnBinding
{
public:
    ColumnBinding &int32(const char *column, qint32 Record::*field) { return add(column, field); }
    ColumnBinding &int64(const char *column, qint64 Record::*field) { return add(column, field); }
    ColumnBinding &text(const char *column, QString Record::*field) { return add(column, field); }
    ColumnBinding &blob(const char *column, QByteArray Record::*field) { return add(column, field); }

    // The columns bound, in their order.
    QStringList columns() const
    {
        QStringList names;
        for (const Field &field : m_fields)
            names.append(field.column);
        return names;
    }

    // The same binding narrowed to the columns named in `kept`.
    ColumnBinding only(const QStringList &kept) const
    {
        ColumnBinding narrowed;
        for (const Field &field : m_fields) {
            if (kept.contains(field.column))
                narrowed.m_fields.append(field);
        }
        return narrowed;
    }

    void resolve(const Sqlite3Cursor &cursor)
    {
        const QStringList &names = cursor.columnNames();
        for (Field &field : m_fields)
            field.index = columnPosition(names, field.column);
    }

    void read(const Sqlite3Cursor &cursor, Record &record) const
    {
        for (const Field &field : m_fields) {
            if (field.index >= 0)
                std::visit(Reader{cursor, record, field.index}, field.member);
        }
    }

private:
    using Member = std::variant<qint32 Record::*, qint64 Record::*, QString Record::*,
                                QByteArray Record::*>;
    struct Field {
        QString column;
        Member member;
        int index;
    };
    struct Reader {
        const Sqlite3Cursor &cursor;
        Record &record;
        int index;
        void operator()(qint32 Record::*m) const { record.*m = cursor.getInt(index); }
        void operator()(qint64 Record::*m) const { record.*m = cursor.getInt64(index); }
        void operator()(QString Record::*m) const { record.*m = cursor.getText(index); }
        void operator()(QByteArray Record::*m) const { record.*m = cursor.getBlob(index); }
    };

    template <typename M>
    ColumnBinding &add(const char *column, M member)
    {
        m_fields.append(Field{QString::fromLatin1(column), Member(member), -1});
        return *this;
    }

    QList<Field> m_fields;
};

// The stored columns of each record (the row id and the resolved references
// are the loader's business).
ColumnBinding<_MsgChat> chatColumns();
ColumnBinding<_MsgHandle> handleColumns();
ColumnBinding<_MsgMessage> messageColumns();
// The message columns the message list and the bubbles read (text, dates,
// direction, service, event columns, handles): what opening a conversation
// reads, the rest waiting until an operation needs the whole record.
ColumnBinding<_MsgMessage> shownMessageColumns();
ColumnBinding<_MsgAttachment> attachmentColumns();
