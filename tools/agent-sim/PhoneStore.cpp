#include "PhoneStore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUuid>

#include <stdexcept>

namespace {

const char *const PhoneFile = "phone.json";
const char *const MessagesFile = "messages.jsonl";
const char *const PartsFolder = "parts";

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

QString safeFileName(const QString &name)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    QString cleaned = QFileInfo(name).fileName();
    cleaned.replace(unsafe, QStringLiteral("_"));
    while (cleaned.startsWith(QLatin1Char('.')))
        cleaned.remove(0, 1);
    return cleaned.isEmpty() ? QStringLiteral("part") : cleaned.right(80);
}

} // namespace

PhoneStore::PhoneStore(const QString &folder)
    : m_folder(QDir(folder).absolutePath())
{
}

QString PhoneStore::folder() const
{
    return m_folder;
}

void PhoneStore::ensureLayout() const
{
    if (!QDir().mkpath(QDir(m_folder).filePath(PartsFolder)))
        fail(QStringLiteral("cannot create the store folder %1").arg(m_folder));
    QFile messages(messagesPath());
    if (!messages.exists() && !messages.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot create %1: %2").arg(messages.fileName(), messages.errorString()));
}

QMap<QString, QString> PhoneStore::info() const
{
    QFile file(QDir(m_folder).filePath(PhoneFile));
    QMap<QString, QString> values;
    if (!file.open(QIODevice::ReadOnly))
        return values;
    const QJsonObject info = QJsonDocument::fromJson(file.readAll()).object().value("info").toObject();
    for (auto it = info.begin(); it != info.end(); ++it)
        values.insert(it.key(), it.value().toVariant().toString());
    return values;
}

void PhoneStore::setInfo(const QMap<QString, QString> &info) const
{
    QJsonObject object;
    for (auto it = info.begin(); it != info.end(); ++it)
        object.insert(it.key(), it.value());
    QSaveFile file(QDir(m_folder).filePath(PhoneFile));
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    file.write(QJsonDocument(QJsonObject{{"info", object}}).toJson());
    if (!file.commit())
        fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
}

qint64 PhoneStore::messageCount() const
{
    QMutexLocker locker(&m_mutex);
    return countLinesLocked();
}

qint64 PhoneStore::countLinesLocked() const
{
    QFile file(messagesPath());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 lines = 0;
    QByteArray block;
    while (!(block = file.read(1 << 20)).isEmpty())
        lines += block.count('\n');
    return lines;
}

void PhoneStore::appendMessage(const SimMessage &message)
{
    appendMessages({message});
}

void PhoneStore::appendMessages(const QList<SimMessage> &messages)
{
    QByteArray lines;
    for (const SimMessage &message : messages)
        lines += QJsonDocument(message.toJson()).toJson(QJsonDocument::Compact) + '\n';
    if (lines.isEmpty())
        return;
    QMutexLocker locker(&m_mutex);
    QFile file(messagesPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        fail(QStringLiteral("cannot append to %1: %2").arg(file.fileName(), file.errorString()));
    if (file.write(lines) != lines.size() || !file.flush())
        fail(QStringLiteral("cannot append to %1: %2").arg(file.fileName(), file.errorString()));
}

QString PhoneStore::newPartFile(const QString &name) const
{
    const QString unique = QUuid::createUuid().toString(QUuid::Id128).left(12);
    return QStringLiteral("%1/%2_%3").arg(QLatin1String(PartsFolder), unique, safeFileName(name));
}

QString PhoneStore::partPath(const QString &relativeFile) const
{
    const QString partsRoot = QDir(m_folder).filePath(PartsFolder) + QLatin1Char('/');
    const QString path = QDir::cleanPath(QDir(m_folder).filePath(relativeFile));
    if (!path.startsWith(partsRoot))
        fail(QStringLiteral("part file outside the store: %1").arg(relativeFile));
    return path;
}

QString PhoneStore::messagesPath() const
{
    return QDir(m_folder).filePath(MessagesFile);
}

PhoneStore::Reader::Reader(PhoneStore &store)
    : m_file(store.messagesPath())
{
    QMutexLocker locker(&store.m_mutex);
    m_count = store.countLinesLocked();
    if (!m_file.open(QIODevice::ReadOnly))
        m_count = 0;
}

qint64 PhoneStore::Reader::count() const
{
    return m_count;
}

bool PhoneStore::Reader::next(SimMessage &message)
{
    while (m_read < m_count) {
        const QByteArray line = m_file.readLine().trimmed();
        ++m_read;
        if (line.isEmpty())
            continue;
        message = SimMessage::fromJson(QJsonDocument::fromJson(line).object());
        return true;
    }
    return false;
}
