#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// What the main window's menus offer and when: the commands, the menu bar with
// its tool-bar actions, the two context menus, the rule that enables the
// tool-bar actions and the rule that picks which messages a menu-bar command
// works on. Pure data and rules over tree-node kinds, so they are tested
// without a window.
//
// The tables list every entry the program knows. The window shows an entry
// only once a handler for its command is registered, so an operation appears
// in the menus together with the code that performs it.

namespace MainMenus {

// Every command of the menus. Each message operation comes in four scopes:
// the plain one of the menu bar (it picks a scope by itself), Sel (the rows
// selected in the message list), Chat (the messages shown) and All (every
// message of the device or database).
enum class Command {
    Backup, BackupSel, BackupChat, BackupAll,
    A2A, A2ASel, A2AChat, A2AAll,
    Db2A, Db2ASel, Db2AChat, Db2AAll,
    ExtractMedia, ExtractMediaSel, ExtractMediaChat, ExtractMediaAll,
    Export, ExportSel, ExportChat, ExportAll,
    Print, PrintSel, PrintChat, PrintAll,
    Del, DelSel, DelChat, DelAll,
    OpenDbFolder, Exit,
    CheckUpdate, ClearCache, ConnectWifi,
    Help, Feedback, About, Home,
    ViewCache, UnmountDevice,
    ImportSmsBackup,
    ImportIPhoneBackup,
    ImportArchive,
    Search,
    ExportEvidence,
};

// One line of a menu. Texts are source texts of the translation context
// "QObject"; icons are resource paths (empty: none).
struct Entry
{
    bool separator = false;
    Command command = Command::Exit;
    const char *text = nullptr;
    const char *icon = nullptr;
    bool onToolBar = false;  // menu bar only: also a tool-bar action
    bool enabled = true;     // context menus: the entry is shown but greyed when false
    QKeySequence keys;       // menu bar only: its keyboard shortcut, if any

    QString translatedText() const;
    QString iconPath() const;
};

struct Menu
{
    const char *title = nullptr;  // context "QObject"
    QList<Entry> entries;

    QString translatedTitle() const;
};

// "File", "Tools" and "Help" with all their entries, in order.
QList<Menu> menuBar();

// The seven operations on the tool bar: backup, transfer to another phone,
// transfer from a database, extract, export, print, delete.
bool isToolBarCommand(Command command);

// The enabling rule of the tool-bar actions. `sourceKind` is the kind of the
// current tree node, or of its parent when the current node is a conversation
// (0 when there is none); `phones` is the number of phones in the tree.
bool isToolBarCommandEnabled(Command command, int sourceKind, int phones);

// The tree's context menu for the current node (kind 0: none); `parentKind`
// matters for conversations. Empty: no menu is shown.
QList<Entry> treeContextMenu(int currentKind, int parentKind, int phones);

// The message list's context menu for the owner of the shown messages (the
// current tree node, or its parent for a conversation). Empty: no menu.
QList<Entry> listContextMenu(int ownerKind, int phones);

// Which messages a plain menu-bar command takes.
enum class Scope { None, Selected, Chat, All };
// Rows selected in the list win; then a conversation gives Chat, any other
// current node All; no current node (kind 0) gives None.
Scope menuBarScope(bool rowsSelected, int currentKind);

// The Sel, Chat and All command of a plain message command (Backup, A2A, Db2A,
// ExtractMedia, Export, Print, Del); `command` itself for any other.
Command scopedCommand(Command plain, Scope scope);

// Drops separators that would lead, trail or double up once entries without
// a handler have been left out.
QList<Entry> tidySeparators(const QList<Entry> &entries);

} // namespace MainMenus
