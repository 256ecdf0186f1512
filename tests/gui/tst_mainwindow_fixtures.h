#pragma once

// Shared by the main-window tests: a private data root and stand-in adb,
// local databases written through the merge, and a driver that answers the
// modal dialogs the window opens by itself.

#include "core/StandInTools.h"
#include "core/tst_localdb_fixtures.h"

#include "android/SimpleProtocol.h"

#include "app/AppFolders.h"
#include "app/KeyTranslator.h"
#include "store/ExportMessagesDb.h"
#include "ui/MainWindow.h"
#include "views/AbsTreeItemModel.h"
#include "views/ItemModelMain.h"
#include "views/ItemModelSms.h"
#include "views/RootDeviceItemNode.h"
#include "views/RootLocalDBItemNode.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>

namespace windowtest {

using Node = AbsTreeItemModel::_ItemNode;

// A private HOME (data root) and a private stand-in adb with no phone, for
// the life of the object.
class Environment
{
public:
    Environment()
    {
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(m_home.path()));
        resetDataRootCacheForTests();
        m_adb = std::make_unique<FakeAdbWorld>();
    }
    ~Environment()
    {
        m_adb.reset();
        qputenv("HOME", m_savedHome);
        resetDataRootCacheForTests();
    }

    FakeAdbWorld &adb() { return *m_adb; }
    QString path(const QString &relative) const { return m_home.filePath(relative); }

private:
    QTemporaryDir m_home;
    QByteArray m_savedHome;
    std::unique_ptr<FakeAdbWorld> m_adb;
};

// What a window test with simulated phones starts with: the catalogue, the
// stand-ins built, and free agent ports (other programs' tests may run at
// the same time). cleanupTestCase calls simpleprotocol::setAgentPortSource({}).
inline void startSimulatedPhoneTests(KeyTranslator &translator)
{
    QVERIFY(translator.load(QStringLiteral(":/en.qm")));
    QCoreApplication::installTranslator(&translator);
    QVERIFY2(QFileInfo(standInTool("agent-sim")).isExecutable(), "build the agent-sim target");
    QVERIFY2(QFileInfo(standInTool("adb")).isExecutable(), "build the fake-adb target");
    simpleprotocol::setAgentPortSource([] { return freeLoopbackPort(); });
}

// Windows for tests poll adb often and never show the no-phone hint.
inline MainWindow::Options quickOptions()
{
    MainWindow::Options options;
    options.monitorPollIntervalMs = 150;
    options.noPhoneHintDelayMs = -1;
    return options;
}

// One conversation's worth of messages for a database written by writeDatabase.
struct Conversation
{
    QString number;
    QString name;       // display_name of the chat; empty for none
    QStringList texts;  // oldest first, one minute apart
    qint32 firstDate = 500000000;
};

// A local message database at `folder` holding the conversations.
inline void writeDatabase(const QString &folder, const QList<Conversation> &conversations)
{
    localdbtest::SetBuilder builder;
    for (const Conversation &conversation : conversations) {
        _MsgHandle *handle = builder.handle(conversation.number);
        _MsgChat *chat = builder.chat(QStringLiteral("SMS;-;") + conversation.number, {handle});
        chat->display_name = conversation.name;
        qint32 date = conversation.firstDate;
        bool fromMe = false;
        for (const QString &text : conversation.texts) {
            builder.message(chat, handle, date, text, fromMe);
            date += 60;
            fromMe = !fromMe;
        }
    }
    ExportMessagesDb writer(folder, QString());
    writer.begin();
    for (const _MsgMessage *message : builder.messages())
        writer.write(*message);
    writer.end();
}

inline QString localDatabaseFolder(const QString &name)
{
    return localDatabasesDir().absoluteFilePath(name);
}

inline QString virtualDeviceFolder(const QString &name)
{
    return dataRootDir().absoluteFilePath(QStringLiteral("virtual_android/") + name);
}

inline QStringList childTexts(const Node *node)
{
    QStringList texts;
    for (const Node *child : node->children)
        texts.append(child->text);
    return texts;
}

inline Node *childNamed(const Node *node, const QString &text)
{
    for (Node *child : node->children) {
        if (child->text == text)
            return child;
    }
    return nullptr;
}

// Makes `node` the selected node of the window's tree, as a click would.
inline void select(MainWindow &window, const Node *node)
{
    auto *tree = window.findChild<QTreeView *>(QStringLiteral("treeViewDS"));
    tree->setCurrentIndex(window.treeModel()->indexOfNode(node));
}

// Answers the modal dialogs of type T the code under test opens by itself:
// whenever one is showing, `answer` runs on it (once per dialog).
template <typename T>
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(T &)> answer)
        : m_answer(std::move(answer))
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    int answered() const { return m_answered; }

private:
    void poll()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            T *dialog = qobject_cast<T *>(widget);
            if (!dialog || !dialog->isVisible() || dialog == m_last)
                continue;
            m_last = dialog;
            ++m_answered;
            m_answer(*dialog);
            return;
        }
    }

    std::function<void(T &)> m_answer;
    QTimer m_timer;
    QPointer<T> m_last;
    int m_answered = 0;
};

} // namespace windowtest
