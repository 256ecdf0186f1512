// The window's search across every phone cache and local database, and the
// way from a result to its conversation.

#include "ui/MainWindow.h"

#include "app/MessageBoxes.h"
#include "ops/ProgressForm.h"
#include "search/SearchIndexThread.h"
#include "store/IOS6MessageDb.h"
#include "search/MessageSearch.h"
#include "store/MsgChat.h"
#include "store/MsgMessage.h"
#include "ui/MainWindowUi.h"
#include "ui/MyTreeView.h"
#include "ui/SearchResultsDialog.h"
#include "views/ChatSessionItemNode.h"
#include "views/ItemModelMain.h"
#include "views/ItemModelSms.h"
#include "views/LocalDBItemNode.h"
#include "views/RootDeviceItemNode.h"
#include "views/RootLocalDBItemNode.h"

#include <QAction>
#include <QFileInfo>

#include <exception>

using MainMenus::Command;
using Node = AbsTreeItemModel::_ItemNode;

namespace {

// Results one search shows at most.
constexpr int kSearchLimit = 200;
// Below this many messages to index, the search just runs; above, the
// progress dialog shows and can cancel.
constexpr qint64 kRowsWorthProgress = 20000;

QString canonicalFolder(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(folder).absoluteFilePath() : canonical;
}

_ChatSessionItemNode *conversationOfChat(const Node *source, qint64 chatRowid)
{
    for (Node *child : source->children) {
        if (child->kind != AbsTreeItemModel::KindChatSession)
            continue;
        auto *conversation = static_cast<_ChatSessionItemNode *>(child);
        for (const _MsgChat *chat : std::as_const(conversation->chatList)) {
            if (chat && chat->rowid == chatRowid)
                return conversation;
        }
    }
    return nullptr;
}

} // namespace

void MainWindow::miSearch()
{
    if (!m_searchDialog) {
        m_searchDialog = new SearchResultsDialog(this);
        connect(m_searchDialog, &SearchResultsDialog::searchRequested, this, &MainWindow::runSearch);
        connect(m_searchDialog, &SearchResultsDialog::hitActivated, this, &MainWindow::openSearchHit);
    }
    m_searchDialog->show();
    m_searchDialog->raise();
    m_searchDialog->activateWindow();
    m_searchDialog->focusWords();
}

void MainWindow::runSearch(const QString &words)
{
    try {
        const SearchScope scope = MessageSearch::allSources();
        if (MessageSearch::pendingRows(scope) > kRowsWorthProgress) {
            ProgressForm form(tr("Preparing the search of your messages..."), this);
            SearchIndexThread worker(scope, &form, this);
            if (!form.runWorker(worker))
                return;
        }
        const QList<SearchHit> hits = MessageSearch::searchAll(words, scope, kSearchLimit);
        if (m_searchDialog)
            m_searchDialog->setHits(hits, kSearchLimit);
    } catch (const std::exception &error) {
        reportError(QString::fromUtf8(error.what()));
    }
}

void MainWindow::openSearchHit(const SearchHit &hit)
{
    _AbsDBItemNode *source = sourceNodeOfFolder(hit.sourceFolder);
    if (!source) {
        // A phone's cache is in the tree only while the phone is connected.
        showInformation(tr("Connect the phone to open this conversation."));
        return;
    }
    try {
        if (source->children.isEmpty()) {
            // A local database shows its conversations once first selected.
            source->db->chats(*source->dataSet);
            m_treeModel->rebuildConversations(source);
        }
    } catch (const std::exception &error) {
        reportError(QString::fromUtf8(error.what()));
        return;
    }
    _ChatSessionItemNode *conversation = conversationOfChat(source, hit.chatRowid);
    if (!conversation) {
        showInformation(tr("IDS_CAN_NOT_FOUND_AND_MESSAGES"));
        return;
    }
    ui->treeViewDS->expand(m_treeModel->indexOfNode(source));
    ui->treeViewDS->setCurrentIndex(m_treeModel->indexOfNode(conversation));
    // Selecting the row scrolls the conversation pane to the message.
    for (int row = 0; row < m_listModel->rowCount(); ++row) {
        const _MsgMessage *message = m_listModel->messageAt(row);
        if (message && message->rowid == hit.messageRowid) {
            ui->treeViewSMS->setCurrentIndex(m_listModel->index(row, ItemModelSms::ColumnDate));
            break;
        }
    }
    raise();
    activateWindow();
}

_AbsDBItemNode *MainWindow::sourceNodeOfFolder(const QString &folder) const
{
    const QString wanted = canonicalFolder(folder);
    for (const Node *root : {static_cast<const Node *>(m_treeModel->deviceRoot()),
                             static_cast<const Node *>(m_treeModel->localDbRoot())}) {
        for (Node *child : root->children) {
            if (child->kind != AbsTreeItemModel::KindAndroidDevice && child->kind != AbsTreeItemModel::KindLocalDb)
                continue;
            auto *source = static_cast<_AbsDBItemNode *>(child);
            if (source->db && canonicalFolder(source->db->folder()) == wanted)
                return source;
        }
    }
    return nullptr;
}
