#include "app/FileErrors.h"

#include "app/UnreadableFileError.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

constexpr qint64 kCopyChunk = 512 * 1024;
enum class Side { Source, Target };

// What a device says when it has no reason of its own ("Unknown error", in
// the current language).
QString noReasonText()
{
    return QFile().errorString();
}

[[noreturn]] void throwFailure(Side side, const QString &path, const QString &reason)
{
    const QString what = side == Side::Source ? QStringLiteral("Cannot read") : QStringLiteral("Cannot write");
    const std::string text = QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(path), reason).toStdString();
    if (side == Side::Source)
        throw UnreadableFileError(text);
    throw std::runtime_error(text);
}

} // namespace

QString fileErrorReason(const QFileDevice &file)
{
    const int systemError = errno;
    const QString own = file.errorString();
    if (file.error() != QFileDevice::NoError && own != noReasonText())
        return own;
    if (systemError != 0)
        return QString::fromLocal8Bit(std::strerror(systemError));
    return own;
}

bool commitSaveFile(QSaveFile &file)
{
    return file.flush() && file.commit();
}

void copyFileOrThrow(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        const QString reason = fileErrorReason(in);
        throwFailure(Side::Source, source, reason);
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const QString reason = fileErrorReason(out);
        throwFailure(Side::Target, target, reason);
    }
    const auto fail = [&out](Side side, const QString &path, const QString &reason) {
        out.close();
        out.remove();
        throwFailure(side, path, reason);
    };
    QByteArray chunk(int(kCopyChunk), Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(chunk.data(), kCopyChunk);
        if (got < 0)
            fail(Side::Source, source, fileErrorReason(in));
        if (got == 0)
            break;
        if (out.write(chunk.constData(), got) != got)
            fail(Side::Target, target, fileErrorReason(out));
    }
    if (!out.flush())
        fail(Side::Target, target, fileErrorReason(out));
    out.close();
}
