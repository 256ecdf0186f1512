#include "cli/CliMessageSource.h"

#include "app/AppFolders.h"
#include "cli/CliPhoneLink.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "store/MsgChat.h"
#include "ui/ViewRules.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

} // namespace

CliMessageSource::CliMessageSource(const SourceSpec &spec, const QString &country, CliContext &context)
    : m_spec(spec)
{
    if (spec.kind == SourceSpec::Kind::Phone) {
        const AndroidDevice device = CliPhoneLink(context).connectAndDownload(spec.value, country);
        m_folder = device.cacheFolder();
        m_countryCode = device.mmc;
        m_phoneUid = device.uid;
        m_evidenceSource.phoneModel = device.displayName();
        m_evidenceSource.imei = device.imei.isEmpty() ? QFileInfo(m_folder).fileName() : device.imei;
    } else {
        m_folder = existingFolder(spec);
        m_countryCode = country;
        if (spec.kind == SourceSpec::Kind::Cache)
            m_evidenceSource.imei = spec.value;
        else
            m_evidenceSource.databaseName = spec.value;
    }
}

QString CliMessageSource::cacheRoot()
{
    return dataRootDir().absoluteFilePath(QStringLiteral("android_cache"));
}

bool CliMessageSource::holdsDatabase(const QString &folder)
{
    return QFileInfo::exists(folder + QStringLiteral("/file-relay/var/mobile/Library/SMS/sms.db"));
}

QString CliMessageSource::existingFolder(const SourceSpec &spec)
{
    const bool cache = spec.kind == SourceSpec::Kind::Cache;
    const QString folder = cache ? QDir(cacheRoot()).absoluteFilePath(spec.value)
                                 : localDatabasesDir().absoluteFilePath(spec.value);
    // Opening a folder without a database would create an empty one.
    if (!holdsDatabase(folder)) {
        fail(cache ? QObject::tr("No phone cache '%1' (see: ferrywright-cli databases).").arg(spec.value)
                   : QObject::tr("No local database '%1' (see: ferrywright-cli databases).").arg(spec.value));
    }
    return folder;
}

void CliMessageSource::load()
{
    if (m_set)
        return;
    auto set = MsgDataSetPtr::create();
    IOS6MessageDb db(m_folder, m_countryCode);
    db.chats(*set);
    db.messages(*set, 0);
    m_set = set;
}

MsgMessageList CliMessageSource::messages(const QString &chat)
{
    load();
    if (chat.isEmpty())
        return m_set->messages.values();
    QList<_MsgChat *> chats;
    for (_MsgChat *candidate : std::as_const(m_set->chats)) {
        if (candidate && candidate->chat_identifier == chat)
            chats.append(candidate);
    }
    if (chats.isEmpty())
        fail(QObject::tr("No conversation '%1' in %2.").arg(chat, m_spec.text()));
    return ViewRules::messagesOfChats(chats);
}

std::unique_ptr<MessageChunkReader> CliMessageSource::reader() const
{
    return std::make_unique<MessageChunkReader>(m_folder, m_countryCode);
}
