#include "ops/ExportFile.h"

#include <QSaveFile>
#include <QTextStream>

#include <stdexcept>

namespace {

[[noreturn]] void throwFileError(const QFileDevice &file)
{
    throw std::runtime_error(file.errorString().toUtf8().toStdString());
}

} // namespace

void openForWriting(QFileDevice &file)
{
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
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
    if (!file.commit())
        throwFileError(file);
}
