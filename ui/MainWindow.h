#pragma once

#include "android/AdbDevice.h"
#include "android/AndroidDevice.h"
#include "export/ExportMessagesThread.h"
#include "import/ImportSourceKind.h"
#include "store/MessageDateRange.h"
#include "store/MsgDataSet.h"
#include "store/MsgMessageList.h"
#include "ui/MainMenus.h"
#include "views/AbsTreeItemModel.h"
#include "views/BubbleViewMgr.h"

#include <QHash>
#include <QSet>
#include <QItemSelection>
#include <QMainWindow>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class AndroidMonitor;
class AndroidRestoreSMSThread;
class IOS6MessageDb;
class ItemModelMain;
class ItemModelSms;
class MessageChunkReader;
class MyTreeView;
class ProgressForm;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class SearchResultsDialog;
struct SearchHit;
class UpdateCheck;
class _AbsDBItemNode;
class _AndroidDeviceItemNode;
class _MsgChat;
struct MainWindowUi;

// The application's only top-level window: the tree of phones and local
// databases, the message list and the conversation pane, the menus, and the
// reaction to phones that come and go.
//
// Selecting a source or a conversation loads what is needed from its database
// into the tree node and shows it; the list and the conversation pane always
// show the same messages in the same order. A phone reported by the device
// monitor is connected, downloaded into its cache and added to the tree
// without any click; it leaves the tree when it is unplugged.
//
// Long steps (connecting, downloading) run on worker threads behind a modal
// progress dialog; the slots that start them return once the worker is done.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    struct Options
    {
        int monitorPollIntervalMs = 3000;  // how often adb is asked for phones
        int noPhoneHintDelayMs = 10000;    // negative: never show the hint
    };

    // Opens a folder in the file manager / a web address in the browser.
    using FolderOpener = std::function<void(const QString &path)>;
    using UrlOpener = std::function<void(const QUrl &url)>;
    // Asks for an existing folder (title, starting folder); empty: cancelled.
    using FolderChooser = std::function<QString(const QString &title, const QString &start)>;

    explicit MainWindow(QWidget *parent = nullptr);
    explicit MainWindow(const Options &options, QWidget *parent = nullptr);
    ~MainWindow() override;

    // --- views ---------------------------------------------------------------
    // Empties the list and the conversation pane.
    void clearViews();
    // Shows `list` sorted by the list's header order in the list and the
    // conversation pane; `chat` names the conversation (null: "All").
    void showMessages(const MsgMessageList &list, _MsgChat *chat);
    // Expands the node, then makes it current once the running slot has returned.
    void selectNode(AbsTreeItemModel::_ItemNode *node);
    // Enables the tool-bar actions for the current tree node.
    void updateActions();

    ItemModelMain *treeModel() const { return m_treeModel; }
    ItemModelSms *listModel() const { return m_listModel; }
    BubbleViewMgr &bubbleView() { return m_bubbleView; }
    AndroidMonitor *monitor() const { return m_monitor; }
    _MsgChat *currentChat() const { return m_currentChat; }
    // The selected node of the tree (null when none).
    AbsTreeItemModel::_ItemNode *currentTreeNode() const;

    // The download the update check offered and the user was not yet asked
    // about; empty when none waits.
    QUrl waitingDownloadOffer() const { return m_offeredDownload; }
    // While held, an offer waits (for a window that replaces this one);
    // released, a waiting offer is asked once the window is free.
    void setDownloadOfferHeld(bool held);

    // --- menus -----------------------------------------------------------------
    // Whether a command has a handler (and so appears in the menus).
    bool hasCommand(MainMenus::Command command) const;
    void runCommand(MainMenus::Command command);
    // The menu-bar action of a command, or null when it has no entry there.
    QAction *menuBarAction(MainMenus::Command command) const;
    // The context menus as they would pop up now; null when none would.
    std::unique_ptr<QMenu> createTreeContextMenu();
    std::unique_ptr<QMenu> createListContextMenu();

    // Test seams: where folders and web pages are opened.
    void setFolderOpener(FolderOpener opener) { m_openFolder = std::move(opener); }
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }

    // Where an export goes: the chosen path, the index of the chosen
    // filter and the period kept (every message unless chosen); an empty
    // path cancels. A file dialog unless set (tests).
    struct ExportChoice
    {
        QString path;
        int filterIndex = -1;
        MessageDateRange period = {};
    };
    using ExportPathChooser = std::function<ExportChoice(const QString &proposedPath, const QStringList &filters)>;
    void setExportPathChooser(ExportPathChooser chooser) { m_chooseExportPath = std::move(chooser); }

    // Asks for an existing file to open (title, filter); empty: cancelled.
    // A file dialog unless set (tests).
    using OpenFileChooser = std::function<QString(const QString &title, const QString &filter)>;
    void setOpenFileChooser(OpenFileChooser chooser) { m_chooseOpenFile = std::move(chooser); }

public slots:
    // --- phones ------------------------------------------------------------------
    void androidDeviceConnected(const AdbDevice &device);
    void androidDeviceDisconnected(const QString &serial);
    void androidDeviceLoad(AndroidDevice device);
    void androidUsbTips();

    // --- views ---------------------------------------------------------------
    void onMainTreeSelected(const QItemSelection &selected, const QItemSelection &deselected);
    void onMainTreeContextMenu();
    void onSMSItemSelected(const QItemSelection &selected, const QItemSelection &deselected);
    void onSMSSortIndicatorChanged(int column, Qt::SortOrder order);
    void onSMSContextMenu();
    void searchMessages();
    void searchCotnact();

    // --- menu commands -----------------------------------------------------------
    void miDel();
    void miDelSel();
    void miDelChat();
    void miDelAll();
    void miOpenDbFolder();
    // Removes the phone caches; the phones shown from them are read again.
    void miClearCache();
    void miViewCache();
    void miUnmoutDevice();
    void miConnectWifi();
    void miCheckUpdate();
    void miHelp();
    void miFeedback();
    void miHome();
    void miAbout();

    // --- update check --------------------------------------------------------------
    // Offers the download once no dialog is open over the window (an
    // operation, a chooser, a box); on Yes opens it and closes the window.
    void onNewVersionAvailable(const QUrl &download);
    void onAdvertisementChanged(const QString &line);

private:
    using Handler = std::function<void()>;

    // Construction steps.
    void connectViews();
    void setupModels();
    void registerCommands();
    void buildMenus();
    void setupStatusBar();
    void startMonitor(const Options &options);
    void addLocalDatabases();
    void addVirtualDevices();
    void startUpdateCheck();
    void offerDownloadWhenIdle();

    // Selection. A source loads its chats once and shows its newest
    // conversation; a conversation loads its own messages when first opened.
    void showSourceNode(_AbsDBItemNode *node);
    void showConversation(AbsTreeItemModel::_ItemNode *node);
    // Reads the messages of the chats the owner's data set does not have yet.
    static void loadConversation(_AbsDBItemNode *owner, const QList<_MsgChat *> &chats);
    void showNodeMessages(_AbsDBItemNode *owner, const MsgMessageList &list, _MsgChat *chat);
    static void loadAllMessages(_AbsDBItemNode *node);
    static MsgMessageList allMessagesOf(const _AbsDBItemNode *node);
    Qt::SortOrder listSortOrder() const;
    // Whether the node is (still) part of the tree.
    bool isInTree(const AbsTreeItemModel::_ItemNode *node) const;
    void searchChildren(const AbsTreeItemModel::_ItemNode *parent, int start, const QString &keyword);

    // Phones.
    // Makes sure the phone's country is known; the chooser when it is not.
    void ensureCountryCode(AndroidDevice &device);
    // Downloads the phone's messages; true when the download succeeded.
    bool downloadMessages(const AndroidDevice &device);
    void addDeviceNode(const AndroidDevice &device);
    QList<_AndroidDeviceItemNode *> deviceNodes() const;
    // Removes the device nodes `doomed` picks, clearing the views first when
    // they show one of them.
    void removeDeviceNodes(const std::function<bool(const _AndroidDeviceItemNode &)> &doomed);
    void removeSourceNode(_AbsDBItemNode *node);
    int phoneCount() const;
    // The node whose messages a command acts on: the current node, or its
    // parent for a conversation.
    AbsTreeItemModel::_ItemNode *currentSourceNode() const;

    // Transfer to another phone.
    void transferToPhone(const MsgMessageList &messages);
    // Every message of the selected source, read by the worker as for backup.
    void transferWholeSource();
    using TransferWorkerFactory = std::function<std::unique_ptr<AndroidRestoreSMSThread>(
        const AndroidDevice &target, ProgressForm &form)>;
    void runTransfer(const TransferWorkerFactory &makeWorker);
    // The uid of the phone the user picks, never the source; empty: none.
    QString chooseTargetPhone(const QString &sourceUid);
    _AndroidDeviceItemNode *deviceNodeByUid(const QString &uid) const;

    // Backup, extraction and deletion.
    void backupMessages(const MsgMessageList &messages);
    // Every message of the selected source, read a chunk at a time by the
    // worker from the source's database: nothing the window holds.
    void backupWholeSource();
    void extractAttachments(const MsgMessageList &messages);
    // Every message of the selected source, read by the worker as for backup.
    void extractWholeSource();
    // Asks for the folder, then runs the worker `makeWorker` builds for it
    // and shows the folder when the worker succeeded.
    using ExtractWorkerFactory = std::function<std::unique_ptr<QThread>(const QString &folder, ProgressForm &form)>;
    void runExtraction(const ExtractWorkerFactory &makeWorker);
    // Runs the deletion worker on the owner's database; true on success,
    // after which the deleted records are gone from the owner's data set and
    // `emptied` holds the chats left without message (still in the set).
    bool deleteMessages(_AbsDBItemNode *owner, const MsgMessageList &messages, QSet<_MsgChat *> *emptied);
    // Re-reads a database node after a worker wrote it, and selects it.
    void reloadSourceNode(_AbsDBItemNode *node);
    // The local database the user picks (an existing one or a new name);
    // empty when cancelled.
    QString chooseLocalDatabase(const QString &proposedName);
    // Runs the worker `makeWorker` builds for the folder of the local database
    // `name` (a new one when no such database exists) under a progress
    // dialog, then shows the database; a new database that did not come
    // about leaves no folder behind.
    using LocalDbWorkerFactory = std::function<std::unique_ptr<QThread>(const QString &folder, ProgressForm &form)>;
    void writeLocalDatabase(const QString &name, const LocalDbWorkerFactory &makeWorker);

    // Import of SMS Backup & Restore files, iPhone backups and SMS
    // Import/Export archives (MainWindowImport.cpp).
    void importSmsBackup();
    void importIPhoneBackup();
    void importArchive();
    // Asks for a file with `title` and `filter`, then imports it as `kind`.
    void importFile(const QString &title, const QString &filter, ImportSourceKind::Kind kind);
    // Asks for the database and the country, then imports `path` of `kind`
    // into that database.
    void importMessages(const QString &path, ImportSourceKind::Kind kind);

    // Menus.
    void registerCommand(MainMenus::Command command, Handler handler);
    // What a message command does with the messages of its scope.
    using MessageFlow = std::function<void(const MsgMessageList &messages)>;
    // Registers a message family: its plain menu-bar command (which picks a
    // scope by itself) and its Sel, Chat and All commands, each handing the
    // messages of its scope to `flow` unless there are none.
    void registerMessageCommands(MainMenus::Command plain, const MessageFlow &flow);
    // The rows selected in the list (selection order), the messages the list
    // shows, or every message of the current device or database (loaded when
    // needed; a database error is reported and gives none).
    MsgMessageList messagesInScope(MainMenus::Scope scope);
    // `messages` of the views with every column read: a conversation is
    // opened with only the columns the views show. Empty (error reported)
    // when that fails.
    MsgMessageList completeShown(const MsgMessageList &messages);
    // The data set owning the messages messagesInScope(scope) gives.
    MsgDataSetPtr recordsInScope(MainMenus::Scope scope) const;
    // The selected node when it is a phone or a local database, else null.
    _AbsDBItemNode *selectedSource() const;
    // The selected source's database as an operation over all of it reads
    // it. Folder and country code are taken at once: the phone may leave the
    // tree while a dialog runs, and then `node` dangles.
    struct WholeSource
    {
        const _AbsDBItemNode *node;
        QString folder;
        QString countryCode;
        std::unique_ptr<MessageChunkReader> reader() const;
        // Stand-ins in `span` with the oldest and the newest date, for a
        // period's choice; their list.
        MsgMessageList dateSpan(MsgDataSet &span) const;
    };
    // Nothing when no source is selected or it shows no message; a database
    // error is reported and gives nothing.
    std::optional<WholeSource> wholeSourceWithMessages();
    // source.dateSpan(); a database error is reported and gives false.
    bool readDateSpan(const WholeSource &source, MsgDataSet &span, MsgMessageList &spanned);
    // Which messages a menu-bar command takes now.
    MainMenus::Scope menuBarScope() const;
    void dispatchMenuBarCommand(MainMenus::Command plain);
    std::unique_ptr<QMenu> createContextMenu(const QList<MainMenus::Entry> &entries);
    void openVendorPage(const QString &pathAndQuery);

    // Export and print (MainWindowExport.cpp).
    void exportMessages(const MsgMessageList &messages);
    // Every message of the selected source, read by the worker from the
    // source's database as it writes: a chunk at a time for text, CSV and
    // NDJSON, a conversation at a time for PDF and HTML.
    void exportWholeSource();
    // The messages the menu bar's scope gives, as an evidence package; all
    // of a source read by the worker as it writes.
    void miExportEvidence();
    void printMessages(const MsgMessageList &messages);
    // Every message of the selected source, read as each layout goes.
    void printWholeSource();
    ExportChoice askExportPath(const QString &proposedPath, const QStringList &filters,
                               const MsgMessageList &messages);
    using ExportTarget = ExportMessagesThread::Target;
    struct ChosenExport
    {
        ExportTarget target;
        MessageDateRange period;
    };
    // Asks until the user cancels (nothing), picks a target that replaces
    // nothing, or agrees to replace what is there. `targetOf` turns a choice
    // into a target (nothing: cancelled).
    using ExportTargetOf = std::function<std::optional<ExportTarget>(const ExportChoice &choice)>;
    std::optional<ChosenExport> askExportTarget(const QString &namePrefix, const QStringList &filters,
                                                const MsgMessageList &messages, const ExportTargetOf &targetOf);
    // Exports the messages of the chosen period (a word instead when none falls in it).
    void runExport(const MsgMessageList &messages, const ChosenExport &chosen,
                   const EvidenceSource &source = EvidenceSource());
    // exportWholeSource with the dialog's name, filters and targets given.
    void exportWholeSourceAs(const QString &namePrefix, const QStringList &filters, const ExportTargetOf &targetOf,
                             const EvidenceSource &evidenceSource = EvidenceSource());
    // The evidence dialog's only target: the folder chosen.
    static std::optional<ExportTarget> evidenceTargetOf(const ExportChoice &choice);
    // What an evidence package names as the source of the current node's messages.
    EvidenceSource evidenceSourceOfCurrent() const;

    // Search across every source (MainWindowSearch.cpp).
    void miSearch();
    void runSearch(const QString &words);
    void openSearchHit(const SearchHit &hit);
    // The phone or local database node showing the database folder, or null.
    _AbsDBItemNode *sourceNodeOfFolder(const QString &folder) const;

    std::unique_ptr<MainWindowUi> ui;
    ItemModelMain *m_treeModel = nullptr;
    ItemModelSms *m_listModel = nullptr;
    BubbleViewMgr m_bubbleView;
    QHash<MainMenus::Command, QAction *> m_menuBarActions;
    QLabel *m_advLabel = nullptr;
    UpdateCheck *m_updateCheck = nullptr;
    QTimer *m_offerTimer = nullptr;
    QUrl m_offeredDownload;
    bool m_offerHeld = false;
    AndroidMonitor *m_monitor = nullptr;
    _MsgChat *m_currentChat = nullptr;
    // Keeps the records the views point at alive until the views are cleared,
    // and tells which source they show.
    MsgDataSetPtr m_shownDataSet;
    // The database the shown records came from, which completes them
    // (completeShown).
    QSharedPointer<IOS6MessageDb> m_shownDb;
    QHash<MainMenus::Command, Handler> m_commands;
    FolderOpener m_openFolder;
    UrlOpener m_openUrl;
    ExportPathChooser m_chooseExportPath;
    FolderChooser m_chooseFolder;
    OpenFileChooser m_chooseOpenFile;
    QPointer<SearchResultsDialog> m_searchDialog;
};
