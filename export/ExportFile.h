#pragma once

#include <QString>

class QFileDevice;
class QSaveFile;
class QTextStream;

// Opening and finishing the files the exporters write; failures become
// std::runtime_error carrying the system's error text.

// Opens write-only, truncating.
void openForWriting(QFileDevice &file);

// Flushes the file and checks that every byte written reached it.
void flushOrThrow(QFileDevice &file);

// Flushes the stream and checks that every byte reached the file.
void flushOrThrow(QTextStream &stream, QFileDevice &file);

// Flushes, then gives the file its real name.
void commitStream(QTextStream &stream, QSaveFile &file);
void commitFile(QSaveFile &file);

// SHA-256 of the file's bytes, 64 lower-case hex digits; empty when the file
// cannot be read.
QString fileSha256(const QString &path);
