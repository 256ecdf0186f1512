// The main window's operations that keep, copy out or remove messages:
// backup into a local database, attachment extraction and deletion.

#include "ui/MainWindow.h"

#include "app/AppFolders.h"
#include "app/MessageBoxes.h"
#include "ops/AttachmentExtractThread.h"
#include "ops/BackupSMSThread.h"
#include "ops/DeleteMMSThread.h"
#include "ops/LocalDbSelForm.h"
#include "ops/ProgressForm.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageChunkReader.h"
#include "ui/MainWindowUi.h"
#include "ui/MyTreeView.h"
#include "views/ChatSessionItemNode.h"
#include "views/ItemModelMain.h"
#include "views/LocalDBItemNode.h"
#include "views/RootLocalDBItemNode.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <exception>

using Node = AbsTreeItemModel::_ItemNode;

namespace {

bool isSourceKind(const Node *node)
{
    return node
        && (node->kind == AbsTreeItemModel::KindAndroidDevice || node->kind == AbsTreeItemModel::KindLocalDb);
}

// The database of that name; when only the letter case differs, the first
// such one. On a file system that tells "Backup" from "backup" both can
// exist, and the one typed exactly is meant.
_AbsDBItemNode *localDatabaseNamed(const ItemModelMain &model, const QString &name)
{
    _AbsDBItemNode *sameLetters = nullptr;
    for (Node *child : model.localDbRoot()->children) {
        if (child->kind != AbsTreeItemModel::KindLocalDb)
            continue;
        if (child->text == name)
            return static_cast<_AbsDBItemNode *>(child);
        if (!sameLetters && child->text.compare(name, Qt::CaseInsensitive) == 0)
            sameLetters = static_cast<_AbsDBItemNode *>(child);
    }
    return sameLetters;
}

QStringList localDatabaseNames(const ItemModelMain &model)
{
    QStringList names;
    for (const Node *child : model.localDbRoot()->children) {
        if (child->kind == AbsTreeItemModel::KindLocalDb)
            names.append(child->text);
    }
    return names;
}

} // namespace

void MainWindow::backupMessages(const MsgMessageList &messages)
{
    const Node *owner = currentSourceNode();
    if (!isSourceKind(owner))
        return;
    const QString name = chooseLocalDatabase(owner->text + QStringLiteral("_Backup"));
    if (name.isEmpty())
        return;
    writeLocalDatabase(name, [&messages](const QString &folder, ProgressForm &form) {
        return std::make_unique<BackupSMSThread>(messages, folder, QString(), &form);
    });
}

void MainWindow::backupWholeSource()
{
    const std::optional<WholeSource> source = wholeSourceWithMessages();
    if (!source)
        return;
    const QString name = chooseLocalDatabase(source->node->text + QStringLiteral("_Backup"));
    if (name.isEmpty())
        return;
    writeLocalDatabase(name, [&source](const QString &folder, ProgressForm &form) {
        return std::make_unique<BackupSMSThread>(source->reader(), folder, QString(), &form);
    });
}

QString MainWindow::chooseLocalDatabase(const QString &proposedName)
{
    LocalDbSelForm chooser(localDatabaseNames(*m_treeModel), proposedName, this);
    return chooser.choose();
}

void MainWindow::writeLocalDatabase(const QString &name, const LocalDbWorkerFactory &makeWorker)
{
    _AbsDBItemNode *target = localDatabaseNamed(*m_treeModel, name);
    const QString folder =
        target ? target->db->folder() : localDatabasesDir().absoluteFilePath(name);
    if (target)
        target->db->close();

    // A new database that does not come about is removed by the worker
    // itself, and only when it made the folder: another program may have
    // made the same database meanwhile.
    ProgressForm form(QString(), this);
    const std::unique_ptr<QThread> worker = makeWorker(folder, form);
    if (!form.runWorker(*worker))
        return;
    try {
        if (!target) {
            auto db = QSharedPointer<IOS6MessageDb>::create(folder, QString());
            target = m_treeModel->addLocalDatabase(db, name);
        }
        reloadSourceNode(target);
    } catch (const std::exception &error) {
        reportException(error);
    }
}

void MainWindow::reloadSourceNode(_AbsDBItemNode *node)
{
    if (m_shownDataSet && m_shownDataSet == node->dataSet)
        clearViews();
    if (Node *current = currentTreeNode(); current && (current == node || current->parentNode == node))
        ui->treeViewDS->selectionModel()->clear();
    m_treeModel->removeChildren(node);
    node->dataSet = MsgDataSetPtr::create();  // rows of the old load may be gone or renumbered
    node->db->chats(*node->dataSet);
    m_treeModel->rebuildConversations(node);
    selectNode(node);
}

void MainWindow::extractAttachments(const MsgMessageList &messages)
{
    runExtraction([&messages](const QString &folder, ProgressForm &form) {
        return std::make_unique<AttachmentExtractThread>(&form, messages, folder);
    });
}

void MainWindow::extractWholeSource()
{
    const std::optional<WholeSource> source = wholeSourceWithMessages();
    if (source) {
        runExtraction([&source](const QString &folder, ProgressForm &form) {
            return std::make_unique<AttachmentExtractThread>(&form, source->reader(), folder);
        });
    }
}

void MainWindow::runExtraction(const ExtractWorkerFactory &makeWorker)
{
    const QString chosen = m_chooseFolder(tr("IDS_TITLE_SEL_OUTPUT_FOLDER_EXTRACT_MEDIA_FILES"), QDir::homePath());
    if (chosen.isEmpty())
        return;
    const QString folder = QDir(chosen).absoluteFilePath(
        QStringLiteral("attachments(%1)").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    ProgressForm form(tr("IDS_TITLE_EXTRACT_MEDIA_FILES"), this);
    const std::unique_ptr<QThread> worker = makeWorker(folder, form);
    if (form.runWorker(*worker) && QFileInfo::exists(folder))
        m_openFolder(folder);
}

void MainWindow::miDelSel()
{
    Node *owner = currentSourceNode();
    if (!owner || owner->kind != AbsTreeItemModel::KindLocalDb)
        return;
    const MsgMessageList messages = messagesInScope(MainMenus::Scope::Selected);
    if (messages.isEmpty() || !askQuestion(tr("IDS_CONFIRM_DEL_SEL_MMS")))
        return;
    auto *source = static_cast<_AbsDBItemNode *>(owner);
    QSet<_MsgChat *> emptied;
    if (!deleteMessages(source, messages, &emptied))
        return;
    // A conversation whose last message went is gone from the database too.
    for (_MsgChat *chat : std::as_const(emptied))
        source->dataSet->removeChat(chat);
    m_treeModel->removeChildren(source);
    m_treeModel->rebuildConversations(source);
    selectNode(source);
}

void MainWindow::miDelChat()
{
    Node *conversation = currentTreeNode();
    if (!conversation || conversation->kind != AbsTreeItemModel::KindChatSession
        || conversation->parentNode->kind != AbsTreeItemModel::KindLocalDb)
        return;
    const MsgMessageList messages = messagesInScope(MainMenus::Scope::Chat);
    if (messages.isEmpty() || !askQuestion(tr("IDS_CONFIRM_DEL_CHAT_MMS")))
        return;
    auto *owner = static_cast<_AbsDBItemNode *>(conversation->parentNode);
    QSet<_MsgChat *> chats;
    if (!deleteMessages(owner, messages, &chats))
        return;
    for (_MsgChat *chat : static_cast<_ChatSessionItemNode *>(conversation)->chatList)
        chats.insert(chat);
    for (_MsgChat *chat : std::as_const(chats))
        owner->dataSet->removeChat(chat);
    m_treeModel->removeNode(conversation);
    selectNode(owner);
}

bool MainWindow::deleteMessages(_AbsDBItemNode *owner, const MsgMessageList &messages, QSet<_MsgChat *> *emptied)
{
    ProgressForm form(QString(), this);
    owner->db->close();
    DeleteMMSThread worker(owner->db->folder(), messages, &form, this);
    if (!form.runWorker(worker))
        return false;
    // The views point at the records about to be freed.
    ui->treeViewDS->selectionModel()->clear();
    clearViews();
    QSet<_MsgChat *> touched;
    for (_MsgMessage *message : messages) {
        if (message->chat)
            touched.insert(message->chat);
        owner->dataSet->removeMessage(message);
    }
    for (_MsgChat *chat : std::as_const(touched)) {
        if (chat->messages.isEmpty())
            emptied->insert(chat);
    }
    return true;
}
