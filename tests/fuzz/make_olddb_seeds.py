#!/usr/bin/env python3
"""Writes the seed files of the old-format fuzz target into corpus/olddb:
tiny "mms.db" files (512-byte pages) laid out like the older single-file
format. The parts name the files the fuzz target places in its attachments
folder (a.jpg, t.txt, sub/b.png). Files named regress-* once showed a fault."""
import os
import sqlite3
import sys

SCHEMA = """
CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, body TEXT, subject TEXT,
    date INTEGER, is_send INTEGER, handle_id INTEGER);
CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, person TEXT);
CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);
CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, filename TEXT, mime_type TEXT);
"""

# Without the autoincrement bookkeeping and without subject and is_send.
SPARE_SCHEMA = """
CREATE TABLE message (body TEXT, date INTEGER, handle_id INTEGER);
CREATE TABLE handle (address TEXT, person TEXT);
CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);
CREATE TABLE attachment (filename TEXT, mime_type TEXT);
"""


def write(path, schema, statements):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("PRAGMA page_size=512")
    db.executescript(schema)
    db.executescript(statements)
    db.commit()
    db.execute("VACUUM")
    db.close()


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "olddb")
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "seed-text-only.db"), SCHEMA, """
        INSERT INTO handle(address, person) VALUES('0612345678', 'Ann');
        INSERT INTO message(body, subject, date, is_send, handle_id) VALUES('hello', '', 1300000000, 0, 1);
        INSERT INTO message(body, subject, date, is_send, handle_id) VALUES('back', 'Re', 1300000060, 1, 1);
    """)
    write(os.path.join(folder, "seed-parts.db"), SCHEMA, """
        INSERT INTO handle(address, person) VALUES('+33612345678', 'Bob');
        INSERT INTO message(body, subject, date, is_send, handle_id) VALUES('', '', 1300000000, 0, 1);
        INSERT INTO message(body, subject, date, is_send, handle_id) VALUES('see', '', 1300000100, 1, 1);
        INSERT INTO attachment(filename, mime_type) VALUES('a.jpg', 'image/jpeg');
        INSERT INTO attachment(filename, mime_type) VALUES('t.txt', 'text/plain');
        INSERT INTO attachment(filename, mime_type) VALUES('s.smil', 'application/smil');
        INSERT INTO attachment(filename, mime_type) VALUES('sub/b.png', 'image/png');
        INSERT INTO attachment(filename, mime_type) VALUES('../a.jpg', 'image/jpeg');
        INSERT INTO message_attachment VALUES(1, 1);
        INSERT INTO message_attachment VALUES(1, 2);
        INSERT INTO message_attachment VALUES(1, 3);
        INSERT INTO message_attachment VALUES(2, 4);
        INSERT INTO message_attachment VALUES(2, 5);
        INSERT INTO message_attachment VALUES(2, 1);
    """)
    write(os.path.join(folder, "seed-spare-columns.db"), SPARE_SCHEMA, """
        INSERT INTO handle VALUES('555 0100', NULL);
        INSERT INTO message VALUES('old', 1200000000, 1);
        INSERT INTO attachment VALUES('a.jpg', 'IMAGE/JPEG');
        INSERT INTO message_attachment VALUES(1, 1);
    """)
    # Dates at both ends of the 64-bit range once overflowed the conversion.
    write(os.path.join(folder, "regress-date-range-ends.db"), SCHEMA, """
        INSERT INTO handle(address, person) VALUES('0612345678', 'Ann');
        INSERT INTO message(body, subject, date, is_send, handle_id)
            VALUES('first', '', -9223372036854775808, 0, 1);
        INSERT INTO message(body, subject, date, is_send, handle_id)
            VALUES('last', '', 9223372036854775807, 1, 1);
    """)
    return 0


if __name__ == "__main__":
    sys.exit(main())
