#include "export/ExportFile.h"

#include "app/FileErrors.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <stdexcept>

namespace {

[[noreturn]] void throwFileError(const QFileDevice &file)
{
    // The error text alone ("Read-only file system") does not say where.
    const QString reason = fileErrorReason(file);
    throw std::runtime_error(QStringLiteral("Cannot write %1: %2")
                                 .arg(QDir::toNativeSeparators(file.fileName()), reason)
                                 .toStdString());
}

} // namespace

void openForWriting(QFileDevice &file)
{
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throwFileError(file);
}

void flushOrThrow(QFileDevice &file)
{
    if (!file.flush() || file.error() != QFileDevice::NoError)
        throwFileError(file);
}

void flushOrThrow(QTextStream &stream, QFileDevice &file)
{
    stream.flush();
    if (stream.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
        throwFileError(file);
}

void commitStream(QTextStream &stream, QSaveFile &file)
{
    flushOrThrow(stream, file);
    commitFile(file);
}

void commitFile(QSaveFile &file)
{
    flushOrThrow(file);
    if (!commitSaveFile(file))
        throwFileError(file);
}

QString fileSha256(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}
