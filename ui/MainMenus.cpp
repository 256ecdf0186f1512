#include "ui/MainMenus.h"

#include "views/AbsTreeItemModel.h"

#include <QCoreApplication>

namespace MainMenus {

namespace {

using Kind = AbsTreeItemModel::NodeKind;

constexpr const char *kContext = "QObject";

Entry item(Command command, const char *text, const char *icon = nullptr, bool enabled = true)
{
    Entry entry;
    entry.command = command;
    entry.text = text;
    entry.icon = icon;
    entry.enabled = enabled;
    return entry;
}

Entry toolItem(Command command, const char *text, const char *icon)
{
    Entry entry = item(command, text, icon);
    entry.onToolBar = true;
    return entry;
}

Entry withKeys(Entry entry, const QKeySequence &keys)
{
    entry.keys = keys;
    return entry;
}

Entry separator()
{
    Entry entry;
    entry.separator = true;
    return entry;
}

const char *const kBackupIcon = ":res/backup.png";
const char *const kA2AIcon = ":res/a2a.png";
const char *const kDb2AIcon = ":res/db2a.png";
const char *const kExtractIcon = ":res/extract_media.png";
const char *const kExportIcon = ":res/export.png";
const char *const kPrintIcon = ":res/print.png";
const char *const kDeleteIcon = ":res/delete.png";

struct ScopedFamily
{
    Command plain, sel, chat, all;
};

const ScopedFamily kFamilies[] = {
    {Command::Backup, Command::BackupSel, Command::BackupChat, Command::BackupAll},
    {Command::A2A, Command::A2ASel, Command::A2AChat, Command::A2AAll},
    {Command::Db2A, Command::Db2ASel, Command::Db2AChat, Command::Db2AAll},
    {Command::ExtractMedia, Command::ExtractMediaSel, Command::ExtractMediaChat, Command::ExtractMediaAll},
    {Command::Export, Command::ExportSel, Command::ExportChat, Command::ExportAll},
    {Command::Print, Command::PrintSel, Command::PrintChat, Command::PrintAll},
    {Command::Del, Command::DelSel, Command::DelChat, Command::DelAll},
};

QList<Entry> deviceMenu(int phones)
{
    return {
        item(Command::BackupAll, QT_TRANSLATE_NOOP("QObject", "Backup Messages to Local Database"), kBackupIcon),
        item(Command::A2AAll, QT_TRANSLATE_NOOP("QObject", "Transfer Android Messages to other Android"),
             kA2AIcon, phones > 1),
        item(Command::ExtractMediaAll, QT_TRANSLATE_NOOP("QObject", "Extract MMS attachment"), kExtractIcon),
        item(Command::ExportAll, QT_TRANSLATE_NOOP("QObject", "Export Messages to File"), kExportIcon),
        item(Command::PrintAll, QT_TRANSLATE_NOOP("QObject", "Print Messages"), kPrintIcon),
        item(Command::ViewCache, QT_TRANSLATE_NOOP("QObject", "View Cache Files")),
        item(Command::UnmountDevice, QT_TRANSLATE_NOOP("QObject", "Disconnect Device"), ":res/unmount.png"),
    };
}

QList<Entry> databaseMenu(int phones)
{
    return {
        item(Command::Db2AAll, QT_TRANSLATE_NOOP("QObject", "Transfer Messages from Database to Android"),
             kDb2AIcon, phones > 0),
        item(Command::ExtractMediaAll, QT_TRANSLATE_NOOP("QObject", "Extract MMS attachment")),
        item(Command::ExportAll, QT_TRANSLATE_NOOP("QObject", "Export Messages to File")),
        item(Command::PrintAll, QT_TRANSLATE_NOOP("QObject", "Print Messages")),
        item(Command::DelAll, QT_TRANSLATE_NOOP("QObject", "Delete this Database"), kDeleteIcon),
    };
}

QList<Entry> deviceConversationMenu(int phones)
{
    return {
        item(Command::BackupChat, QT_TRANSLATE_NOOP("QObject", "Backup Messages with this contact to Local Database")),
        item(Command::A2AChat, QT_TRANSLATE_NOOP("QObject", "Transfer Messages with this contact to other Android"),
             nullptr, phones > 1),
        item(Command::ExtractMediaChat, QT_TRANSLATE_NOOP("QObject", "Extract attachment from MMS with this contact")),
        item(Command::ExportChat, QT_TRANSLATE_NOOP("QObject", "Export Messages with this contact to File")),
        item(Command::PrintChat, QT_TRANSLATE_NOOP("QObject", "Print Messages with this contact")),
    };
}

QList<Entry> databaseConversationMenu(int phones)
{
    return {
        item(Command::Db2AChat, QT_TRANSLATE_NOOP("QObject", "Transfer Messages with this contact to Android"),
             nullptr, phones > 0),
        item(Command::ExtractMediaChat, QT_TRANSLATE_NOOP("QObject", "Extract attachment from MMS with this contact")),
        item(Command::ExportChat, QT_TRANSLATE_NOOP("QObject", "Export Messages with this contact to File")),
        item(Command::PrintChat, QT_TRANSLATE_NOOP("QObject", "Print Messages with this contact")),
        item(Command::DelChat, QT_TRANSLATE_NOOP("QObject", "Delete Messages with this contact")),
    };
}

} // namespace

QString Entry::translatedText() const
{
    return text ? QCoreApplication::translate(kContext, text) : QString();
}

QString Entry::iconPath() const
{
    return icon ? QString::fromLatin1(icon) : QString();
}

QString Menu::translatedTitle() const
{
    return title ? QCoreApplication::translate(kContext, title) : QString();
}

QList<Menu> menuBar()
{
    return {
        {QT_TRANSLATE_NOOP("QObject", "File"),
         {
             withKeys(toolItem(Command::Backup, QT_TRANSLATE_NOOP("QObject", "Backup Messages to Local Database"),
                               kBackupIcon),
                      QKeySequence(Qt::CTRL | Qt::Key_B)),
             toolItem(Command::A2A, QT_TRANSLATE_NOOP("QObject", "Transfer Android Messages to other Android"),
                      kA2AIcon),
             toolItem(Command::Db2A, QT_TRANSLATE_NOOP("QObject", "Transfer Messages from Database to Android"),
                      kDb2AIcon),
             separator(),
             toolItem(Command::ExtractMedia, QT_TRANSLATE_NOOP("QObject", "Extract MMS attachment"), kExtractIcon),
             withKeys(toolItem(Command::Export, QT_TRANSLATE_NOOP("QObject", "Export Messages to File"), kExportIcon),
                      QKeySequence(Qt::CTRL | Qt::Key_E)),
             item(Command::ExportEvidence, QT_TRANSLATE_NOOP("QObject", "Export for Evidence..."), kExportIcon),
             withKeys(toolItem(Command::Print, QT_TRANSLATE_NOOP("QObject", "Print Messages"), kPrintIcon),
                      QKeySequence::Print),
             toolItem(Command::Del, QT_TRANSLATE_NOOP("QObject", "Delete Messages"), kDeleteIcon),
             separator(),
             item(Command::ImportSmsBackup, QT_TRANSLATE_NOOP("QObject", "Import SMS Backup & Restore File..."),
                  ":res/database.png"),
             item(Command::ImportIPhoneBackup, QT_TRANSLATE_NOOP("QObject", "Import iPhone Backup..."),
                  ":res/database.png"),
             item(Command::ImportArchive, QT_TRANSLATE_NOOP("QObject", "Import SMS Import/Export Archive..."),
                  ":res/database.png"),
             item(Command::OpenDbFolder, QT_TRANSLATE_NOOP("QObject", "Open Database Folder"),
                  ":res/open_db_folder.png"),
             withKeys(item(Command::Exit, QT_TRANSLATE_NOOP("QObject", "Exit"), ":res/exit.png"), QKeySequence::Quit),
         }},
        {QT_TRANSLATE_NOOP("QObject", "Tools"),
         {
             withKeys(item(Command::Search, QT_TRANSLATE_NOOP("QObject", "Search Messages...")), QKeySequence::Find),
             item(Command::CheckUpdate, QT_TRANSLATE_NOOP("QObject", "Check for Update")),
             item(Command::ClearCache, QT_TRANSLATE_NOOP("QObject", "Clear Cache files")),
             item(Command::ConnectWifi, QT_TRANSLATE_NOOP("QObject", "Connect Android Phone via WiFi")),
         }},
        {QT_TRANSLATE_NOOP("QObject", "Help"),
         {
             withKeys(item(Command::Help, QT_TRANSLATE_NOOP("QObject", "Help"), ":res/help.png"),
                      QKeySequence::HelpContents),
             item(Command::Feedback, QT_TRANSLATE_NOOP("QObject", "Feedback and Support")),
             item(Command::About, QT_TRANSLATE_NOOP("QObject", "About")),
         }},
    };
}

bool isToolBarCommand(Command command)
{
    for (const ScopedFamily &family : kFamilies) {
        if (family.plain == command)
            return true;
    }
    return false;
}

bool isToolBarCommandEnabled(Command command, int sourceKind, int phones)
{
    switch (sourceKind) {
    case Kind::KindAndroidDevice:
        switch (command) {
        case Command::Backup:
        case Command::ExtractMedia:
        case Command::Export:
        case Command::Print:
            return true;
        case Command::A2A:
            return phones > 1;
        default:
            return false;
        }
    case Kind::KindLocalDb:
        switch (command) {
        case Command::ExtractMedia:
        case Command::Export:
        case Command::Print:
        case Command::Del:
            return true;
        case Command::Db2A:
            return phones > 0;
        default:
            return false;
        }
    default:
        return false;
    }
}

QList<Entry> treeContextMenu(int currentKind, int parentKind, int phones)
{
    switch (currentKind) {
    case Kind::KindRootLocalDb:
        return {item(Command::OpenDbFolder, QT_TRANSLATE_NOOP("QObject", "Open Database Folder"),
                     ":res/open_db_folder.png")};
    case Kind::KindAndroidDevice:
        return deviceMenu(phones);
    case Kind::KindLocalDb:
        return databaseMenu(phones);
    case Kind::KindChatSession:
        if (parentKind == Kind::KindAndroidDevice)
            return deviceConversationMenu(phones);
        if (parentKind == Kind::KindLocalDb)
            return databaseConversationMenu(phones);
        return {};
    default:
        return {};
    }
}

QList<Entry> listContextMenu(int ownerKind, int phones)
{
    if (ownerKind == Kind::KindAndroidDevice) {
        return {
            item(Command::BackupSel, QT_TRANSLATE_NOOP("QObject", "Backup selected Messages to Local Database"),
                 kBackupIcon),
            item(Command::A2ASel, QT_TRANSLATE_NOOP("QObject", "Transfer selected Messages to other Android"),
                 kA2AIcon, phones > 1),
            item(Command::ExtractMediaSel, QT_TRANSLATE_NOOP("QObject", "Extract attachment from selected Messages"),
                 kExtractIcon),
            item(Command::ExportSel, QT_TRANSLATE_NOOP("QObject", "Export selected Messages to File"), kExportIcon),
            item(Command::PrintSel, QT_TRANSLATE_NOOP("QObject", "Print selected Messages"), kPrintIcon),
        };
    }
    if (ownerKind == Kind::KindLocalDb) {
        return {
            item(Command::Db2ASel, QT_TRANSLATE_NOOP("QObject", "Transfer selected Messages to Android"), kDb2AIcon,
                 phones > 0),
            item(Command::ExtractMediaSel, QT_TRANSLATE_NOOP("QObject", "Extract attachment from selected Messages")),
            item(Command::ExportSel, QT_TRANSLATE_NOOP("QObject", "Export selected Messages to File")),
            item(Command::PrintSel, QT_TRANSLATE_NOOP("QObject", "Print selected Messages")),
            item(Command::DelSel, QT_TRANSLATE_NOOP("QObject", "Delete selected Messages"), kDeleteIcon),
        };
    }
    return {};
}

Scope menuBarScope(bool rowsSelected, int currentKind)
{
    if (rowsSelected)
        return Scope::Selected;
    if (currentKind == 0)
        return Scope::None;
    return currentKind == Kind::KindChatSession ? Scope::Chat : Scope::All;
}

Command scopedCommand(Command plain, Scope scope)
{
    for (const ScopedFamily &family : kFamilies) {
        if (family.plain != plain)
            continue;
        switch (scope) {
        case Scope::Selected:
            return family.sel;
        case Scope::Chat:
            return family.chat;
        case Scope::All:
            return family.all;
        case Scope::None:
            return plain;
        }
    }
    return plain;
}

QList<Entry> tidySeparators(const QList<Entry> &entries)
{
    QList<Entry> tidy;
    for (const Entry &entry : entries) {
        if (entry.separator && (tidy.isEmpty() || tidy.constLast().separator))
            continue;
        tidy.append(entry);
    }
    if (!tidy.isEmpty() && tidy.constLast().separator)
        tidy.removeLast();
    return tidy;
}

} // namespace MainMenus
