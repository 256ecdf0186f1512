#pragma once

// What every benchmark program needs: its output, its way of giving up, and
// readings of its own process.

#include <QFile>
#include <QString>
#include <QTextStream>

#include <stdexcept>

namespace bench {

inline QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

[[noreturn]] inline void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

// A "kB" figure of /proc/self/status, such as VmHWM or VmRSS; -1 when unknown.
inline qint64 procStatusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

inline QString fixed(double value, int decimals = 2)
{
    return QString::number(value, 'f', decimals);
}

} // namespace bench
