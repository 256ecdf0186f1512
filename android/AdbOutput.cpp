#include "android/AdbOutput.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

QStringList trimmedLines(const QString &output)
{
    QStringList lines = output.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = line.trimmed();
    return lines;
}

// The port of a "tcp:N" forward end; 0 for anything else.
int tcpPort(const QString &end)
{
    static const QLatin1String Prefix("tcp:");
    bool ok = false;
    const int port = end.startsWith(Prefix) ? end.mid(Prefix.size()).toInt(&ok) : 0;
    return ok && port > 0 ? port : 0;
}

} // namespace

QString decodeAdbText(const QByteArray &bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero));
}

QList<AdbDevice> parseDeviceList(const QString &output)
{
    static const QRegularExpression devicePattern(
        QStringLiteral("([a-zA-Z0-9\\-_]+)[^a-zA-Z0-9\\-_]+([a-zA-Z0-9\\-_]+)"));

    QList<AdbDevice> devices;
    bool headerSeen = false;
    for (const QString &line : trimmedLines(output)) {
        if (!headerSeen) {
            headerSeen = line.compare(QLatin1String("List of devices attached"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const QRegularExpressionMatch match = devicePattern.match(line);
        if (!match.hasMatch())
            continue;
        devices.append(AdbDevice{line, match.captured(1), match.captured(2)});
    }
    return devices;
}

QSet<QString> parsePackageList(const QString &output)
{
    static const QLatin1String prefix("package:");
    QSet<QString> packages;
    for (const QString &line : trimmedLines(output)) {
        if (!line.startsWith(prefix))
            continue;
        const QString name = line.mid(prefix.size()).trimmed();
        if (!name.isEmpty())
            packages.insert(name);
    }
    return packages;
}

QHash<int, QString> parseTcpForwards(const QString &output)
{
    QHash<int, QString> forwards;
    for (const QString &line : trimmedLines(output)) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const int port = fields.size() == 3 ? tcpPort(fields.at(1)) : 0;
        if (port > 0)
            forwards.insert(port, fields.at(0));
    }
    return forwards;
}

bool hasSuccessLine(const QString &output)
{
    const QStringList lines = trimmedLines(output);
    return std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.compare(QLatin1String("Success"), Qt::CaseInsensitive) == 0;
    });
}

bool hasErrorLine(const QString &output)
{
    const QStringList lines = trimmedLines(output);
    return std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.startsWith(QLatin1String("error:"), Qt::CaseInsensitive);
    });
}
