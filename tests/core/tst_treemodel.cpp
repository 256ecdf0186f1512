// The tree of phones, local databases and their conversations: its rows, icons,
// the grouping of chats into conversations and the removal notifications the
// views rely on.

#include "core/tst_bubble_fixtures.h"

#include "android/AndroidDevice.h"
#include "app/KeyTranslator.h"
#include "store/IOS6MessageDb.h"
#include "store/MessageText.h"
#include "views/AndroidDeviceItemNode.h"
#include "views/ChatSessionItemNode.h"
#include "views/ItemModelMain.h"
#include "views/LocalDBItemNode.h"
#include "views/RootDeviceItemNode.h"
#include "views/RootLocalDBItemNode.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Node = AbsTreeItemModel::_ItemNode;

QImage scaledIcon(const char *path)
{
    return QImage(QString::fromLatin1(path)).scaledToWidth(18, Qt::FastTransformation);
}

QImage decorationOf(const ItemModelMain &model, const Node *node)
{
    return model.data(model.indexOfNode(node), Qt::DecorationRole).value<QImage>();
}

AndroidDevice phone(const QString &manufacturer, const QString &model, const QString &serial)
{
    AndroidDevice device;
    device.manufacturer = manufacturer;
    device.model = model;
    device.serial = serial;
    return device;
}

QList<_ChatSessionItemNode *> conversationsOf(const Node *node)
{
    QList<_ChatSessionItemNode *> conversations;
    for (Node *child : node->children) {
        if (child->kind == AbsTreeItemModel::KindChatSession)
            conversations.append(static_cast<_ChatSessionItemNode *>(child));
    }
    return conversations;
}

// A model with a tester watching every change.
struct CheckedModel
{
    ItemModelMain model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
};

// Puts the chats of `builder` into a local database node and groups them.
_LocalDBItemNode *databaseWith(ItemModelMain &model, const ConversationBuilder &builder)
{
    _LocalDBItemNode *node = model.addLocalDatabase({}, QStringLiteral("db"));
    node->dataSet = builder.set;
    model.rebuildConversations(node);
    return node;
}

} // namespace

class TestTreeModel : public QObject
{
    Q_OBJECT

private:
    KeyTranslator translator;

private slots:
    void initTestCase()
    {
        QVERIFY(translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&translator);
    }

    // --- rows and icons ---

    void newModelShowsTheTwoRoots()
    {
        CheckedModel checked;
        const ItemModelMain &model = checked.model;
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), 1);
        const QModelIndex devices = model.index(0, 0);
        const QModelIndex databases = model.index(1, 0);
        QCOMPARE(devices.data().toString(), QStringLiteral("Devices"));
        QCOMPARE(databases.data().toString(), QStringLiteral("Local Databases"));
        QCOMPARE(devices.data(Qt::ToolTipRole).toString(), QStringLiteral("Devices"));
        QCOMPARE(AbsTreeItemModel::nodeFromIndex(devices), model.deviceRoot());
        QCOMPARE(AbsTreeItemModel::nodeFromIndex(databases), model.localDbRoot());
        QCOMPARE(model.deviceRoot()->kind, 1);
        QCOMPARE(model.localDbRoot()->kind, 2);
        for (const QModelIndex &root : {devices, databases}) {
            QCOMPARE(root.data(Qt::SizeHintRole).toSize(), QSize(0, 25));
            QCOMPARE(model.rowCount(root), 0);
            QVERIFY(!model.parent(root).isValid());
        }
        QCOMPARE(devices.data(Qt::DecorationRole).value<QImage>(), scaledIcon(":/res/devices.png"));
        QCOMPARE(databases.data(Qt::DecorationRole).value<QImage>(), scaledIcon(":/res/databases.png"));
        QCOMPARE(devices.data(Qt::DecorationRole).value<QImage>().width(), 18);
        QVERIFY(!model.headerData(0, Qt::Horizontal).isValid());
        QVERIFY(!devices.data(Qt::EditRole + 100).isValid());
        QVERIFY(!model.data(QModelIndex()).isValid());
    }

    void sourceNodesShowNameAndIcon()
    {
        CheckedModel checked;
        ItemModelMain &model = checked.model;
        _AndroidDeviceItemNode *device = model.addAndroidDevice({}, phone("LGE", "Nexus 5", "0123"));
        _LocalDBItemNode *database = model.addLocalDatabase({}, QStringLiteral("Holiday 2023"));

        QCOMPARE(device->kind, 4);
        QCOMPARE(device->text, QStringLiteral("LGE Nexus 5"));
        QCOMPARE(device->device.serial, QStringLiteral("0123"));
        QCOMPARE(device->parentNode, model.deviceRoot());
        QCOMPARE(database->kind, 5);
        QCOMPARE(database->parentNode, model.localDbRoot());
        QVERIFY(device->dataSet && device->dataSet->isEmpty());
        QVERIFY(database->dataSet && database->dataSet != device->dataSet);

        const QModelIndex deviceIndex = model.index(0, 0, model.index(0, 0));
        QCOMPARE(AbsTreeItemModel::nodeFromIndex(deviceIndex), device);
        QCOMPARE(deviceIndex.data().toString(), QStringLiteral("LGE Nexus 5"));
        QCOMPARE(model.index(0, 0, model.index(1, 0)).data().toString(), QStringLiteral("Holiday 2023"));
        QCOMPARE(decorationOf(model, device), scaledIcon(":/res/android.png"));
        QCOMPARE(decorationOf(model, database), scaledIcon(":/res/database.png"));
        QCOMPARE(deviceIndex.data(Qt::SizeHintRole).toSize(), QSize(0, 25));
    }

    void addingANodeAnnouncesTheNewRow()
    {
        ItemModelMain model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.addLocalDatabase({}, QStringLiteral("a"));
        model.addLocalDatabase({}, QStringLiteral("b"));
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.at(1).at(0).value<QModelIndex>(), model.index(1, 0));
        QCOMPARE(inserted.at(1).at(1).toInt(), 1);
        QCOMPARE(model.localDbRoot()->children.last()->text, QStringLiteral("b"));
    }

    void conversationIcon_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("expectedIcon");  // a resource, or "photo"
        QTest::newRow("two handles: group") << "group" << ":/res/group.png";
        QTest::newRow("one handle without photo") << "nophoto" << ":/res/contact.png";
        QTest::newRow("one handle, PNG photo") << "png" << "photo";
        QTest::newRow("one handle, JPEG photo") << "jpeg" << "photo";
        QTest::newRow("undecodable photo") << "garbage" << ":/res/contact.png";
        QTest::newRow("no handle") << "none" << ":/res/contact.png";
    }

    void conversationIcon()
    {
        QFETCH(QString, shape);
        QFETCH(QString, expectedIcon);
        ConversationBuilder b;
        QList<_MsgHandle *> handles;
        if (shape == QLatin1String("group"))
            handles = {b.handle("+1"), b.handle("+2")};
        else if (shape == QLatin1String("nophoto"))
            handles = {b.handle("+1")};
        else if (shape == QLatin1String("png"))
            handles = {b.handle("+1", "Ann", ConversationBuilder::imageBytes(36, 72, "PNG"))};
        else if (shape == QLatin1String("jpeg"))
            handles = {b.handle("+1", "Ann", ConversationBuilder::imageBytes(72, 36, "JPEG"))};
        else if (shape == QLatin1String("garbage"))
            handles = {b.handle("+1", "Ann", QByteArray("not a picture"))};
        b.chat("c1", handles, 100);

        ItemModelMain model;
        _LocalDBItemNode *database = databaseWith(model, b);
        QCOMPARE(database->children.size(), 1);
        const QImage icon = decorationOf(model, database->children.first());
        if (expectedIcon == QLatin1String("photo")) {
            QCOMPARE(icon.height(), 18);
            QCOMPARE(icon.width(), shape == QLatin1String("png") ? 9 : 36);
            // JPEG shifts the colour a little.
            QVERIFY(icon.pixelColor(icon.width() / 2, 9).red() > 200);
            QVERIFY(icon.pixelColor(icon.width() / 2, 9).green() < 60);
        } else {
            QCOMPARE(icon, scaledIcon(expectedIcon.toLatin1().constData()));
        }
    }

    void emptyConversationHasNoIcon()
    {
        ItemModelMain model;
        _LocalDBItemNode *database = databaseWith(model, ConversationBuilder());
        QVERIFY(database->children.isEmpty());
        // A conversation node without chats can only be made by hand.
        auto *empty = new _ChatSessionItemNode(QString(), {}, 0);
        empty->parentNode = database;
        database->children.append(empty);
        QVERIFY(!model.data(model.indexOfNode(empty), Qt::DecorationRole).isValid());
        QCOMPARE(model.data(model.indexOfNode(empty)).toString(), QString());
    }

    // --- grouping ---

    void chatsOfOneIdentifierMakeOneConversation()
    {
        ConversationBuilder b;
        _MsgHandle *ann = b.handle("+15550001", "Ann");
        _MsgChat *sms = b.chat("+15550001", {ann}, 100);
        _MsgChat *imessage = b.chat("+15550001", {ann}, 300);
        imessage->service_name = QStringLiteral("iMessage");
        _MsgChat *bob = b.chat("+15550002", {b.handle("+15550002")}, 200);

        CheckedModel checked;
        _LocalDBItemNode *database = databaseWith(checked.model, b);
        const QList<_ChatSessionItemNode *> conversations = conversationsOf(database);
        QCOMPARE(conversations.size(), 2);
        QCOMPARE(conversations.at(0)->chatList, (QList<_MsgChat *>{sms, imessage}));
        QCOMPARE(conversations.at(0)->lastDate, 300);
        QCOMPARE(conversations.at(0)->text, QStringLiteral("Ann"));
        QCOMPARE(conversations.at(1)->chatList, QList<_MsgChat *>{bob});
        QCOMPARE(conversations.at(1)->text, QStringLiteral("+15550002"));
        QCOMPARE(conversations.at(1)->parentNode, database);
    }

    void conversationsAreNewestFirst()
    {
        ConversationBuilder b;
        for (const qint32 last : {500, 100, 900, 300})
            b.chat(QStringLiteral("id%1").arg(last), {b.handle(QStringLiteral("+%1").arg(last))}, last);
        ItemModelMain model;
        _LocalDBItemNode *database = databaseWith(model, b);
        QList<qint32> dates;
        for (const _ChatSessionItemNode *conversation : conversationsOf(database))
            dates << conversation->lastDate;
        QCOMPARE(dates, (QList<qint32>{900, 500, 300, 100}));
    }

    void identifiersMatchExactly()
    {
        ConversationBuilder b;
        b.chat("ann@example.org", {b.handle("ann@example.org")}, 10);
        b.chat("ANN@example.org", {b.handle("ANN@example.org")}, 20);
        b.chat("", {b.handle("+1")}, 30);
        b.chat("", {b.handle("+2")}, 40);
        ItemModelMain model;
        _LocalDBItemNode *database = databaseWith(model, b);
        const QList<_ChatSessionItemNode *> conversations = conversationsOf(database);
        QCOMPARE(conversations.size(), 3);
        // Chats without identifier share one conversation, dated by the later one.
        QCOMPARE(conversations.at(0)->chatList.size(), 2);
        QCOMPARE(conversations.at(0)->lastDate, 40);
        QCOMPARE(conversations.at(1)->chatList.size(), 1);
        QCOMPARE(conversations.at(2)->chatList.size(), 1);
    }

    void conversationTextIsTheChatName()
    {
        ConversationBuilder b;
        _MsgChat *named = b.chat("g1", {b.handle("+1", "Ann"), b.handle("+2")}, 10);
        named->display_name = QStringLiteral("Climbing club");
        b.chat("g2", {b.handle("+3", "Carl"), b.handle("+4")}, 5);
        ItemModelMain model;
        _LocalDBItemNode *database = databaseWith(model, b);
        QCOMPARE(database->children.at(0)->text, QStringLiteral("Climbing club"));
        // Without ids, whatever the contacts.
        QCOMPARE(database->children.at(1)->text, QStringLiteral("Carl, +4"));
    }

    void rebuildReplacesTheConversations()
    {
        ConversationBuilder b;
        b.chat("a", {b.handle("+1")}, 1);
        CheckedModel checked;
        ItemModelMain &model = checked.model;
        _LocalDBItemNode *database = databaseWith(model, b);
        b.chat("b", {b.handle("+2")}, 2);

        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.rebuildConversations(database);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(inserted.first().at(2).toInt(), 1);
        QCOMPARE(conversationsOf(database).size(), 2);
        QCOMPARE(database->children.first()->text, QStringLiteral("+2"));
    }

    // --- removal ---

    void removeNodeRemovesChildrenThenTheNode()
    {
        ConversationBuilder b;
        b.chat("a", {b.handle("+1")}, 1);
        b.chat("b", {b.handle("+2")}, 2);
        b.chat("c", {b.handle("+3")}, 3);
        CheckedModel checked;
        ItemModelMain &model = checked.model;
        model.addAndroidDevice({}, phone("Acme", "One", "s1"));
        _AndroidDeviceItemNode *device = model.addAndroidDevice({}, phone("Acme", "Two", "s2"));
        device->dataSet = b.set;
        model.rebuildConversations(device);
        const QPersistentModelIndex deviceIndex = model.indexOfNode(device);
        QCOMPARE(deviceIndex.row(), 1);

        QSignalSpy aboutToRemove(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        model.removeNode(device);
        QCOMPARE(aboutToRemove.size(), 2);
        QCOMPARE(aboutToRemove.at(0).at(0).value<QModelIndex>().internalPointer(), static_cast<void *>(device));
        QCOMPARE(aboutToRemove.at(0).at(1).toInt(), 0);
        QCOMPARE(aboutToRemove.at(0).at(2).toInt(), 2);
        QCOMPARE(aboutToRemove.at(1).at(0).value<QModelIndex>(), model.index(0, 0));
        QCOMPARE(aboutToRemove.at(1).at(1).toInt(), 1);
        QCOMPARE(aboutToRemove.at(1).at(2).toInt(), 1);
        QVERIFY(!deviceIndex.isValid());
        QCOMPARE(model.deviceRoot()->children.size(), 1);
    }

    void removingAnEarlierSiblingKeepsIndexesRight()
    {
        ConversationBuilder b;
        b.chat("a", {b.handle("+1")}, 1);
        CheckedModel checked;
        ItemModelMain &model = checked.model;
        _LocalDBItemNode *first = model.addLocalDatabase({}, QStringLiteral("first"));
        _LocalDBItemNode *second = databaseWith(model, b);
        // Hand out indexes for the second node and its child before the removal.
        const QModelIndex child = model.index(0, 0, model.index(1, 0, model.index(1, 0)));
        QCOMPARE(model.parent(child).row(), 1);

        model.removeNode(first);
        QCOMPARE(model.indexOfNode(second).row(), 0);
        const QModelIndex childNow = model.index(0, 0, model.indexOfNode(second));
        QCOMPARE(model.parent(childNow), model.indexOfNode(second));
        QCOMPARE(model.parent(childNow).row(), 0);
    }

    void removeChildrenWithoutChildrenEmitsNothing()
    {
        ItemModelMain model;
        _LocalDBItemNode *database = model.addLocalDatabase({}, QStringLiteral("empty"));
        QSignalSpy aboutToRemove(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        model.removeChildren(database);
        QCOMPARE(aboutToRemove.size(), 0);
        QCOMPARE(removed.size(), 0);
    }

    void theRootsStay()
    {
        CheckedModel checked;
        ItemModelMain &model = checked.model;
        model.addLocalDatabase({}, QStringLiteral("x"));
        model.removeNode(model.localDbRoot());
        model.removeNode(model.deviceRoot());
        model.removeNode(nullptr);
        QCOMPARE(model.rowCount(), 2);
        // Emptying a root is allowed.
        model.removeChildren(model.localDbRoot());
        QCOMPARE(model.rowCount(model.index(1, 0)), 0);
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Local Databases"));
    }

    void aNodeOfAnotherTreeIsLeftAlone()
    {
        ItemModelMain model;
        ItemModelMain other;
        _LocalDBItemNode *foreign = other.addLocalDatabase({}, QStringLiteral("foreign"));
        QSignalSpy aboutToRemove(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        model.removeNode(foreign);
        model.removeChildren(foreign);
        QCOMPARE(aboutToRemove.size(), 0);
        QCOMPARE(other.localDbRoot()->children.size(), 1);
    }

    void removingANodeDropsItsDatabaseAndRecords()
    {
        QTemporaryDir folder;
        auto db = QSharedPointer<IOS6MessageDb>::create(folder.path(), QString());
        const QWeakPointer<IOS6MessageDb> dbWatch = db;
        ItemModelMain model;
        _LocalDBItemNode *kept = model.addLocalDatabase(db, QStringLiteral("kept"));
        _LocalDBItemNode *dropped = model.addLocalDatabase(db, QStringLiteral("dropped"));
        const QWeakPointer<MsgDataSet> keptSet = kept->dataSet;
        const QWeakPointer<MsgDataSet> droppedSet = dropped->dataSet;
        const MsgDataSetPtr stillShown = kept->dataSet;
        db.reset();

        model.removeNode(dropped);
        QVERIFY(droppedSet.isNull());
        QVERIFY(!dbWatch.isNull());  // the other node holds it
        model.removeNode(kept);
        QVERIFY(dbWatch.isNull());
        // A holder outside the tree keeps the records alive.
        QVERIFY(!keptSet.isNull());
    }

    // --- helpers for the window ---

    void countChildrenOfKind()
    {
        ItemModelMain model;
        QCOMPARE(ItemModelMain::countChildrenOfKind(model.deviceRoot(), AbsTreeItemModel::KindAndroidDevice), 0);
        model.addAndroidDevice({}, phone("A", "1", "s1"));
        model.addAndroidDevice({}, phone("B", "2", "s2"));
        model.addLocalDatabase({}, QStringLiteral("db"));
        QCOMPARE(ItemModelMain::countChildrenOfKind(model.deviceRoot(), AbsTreeItemModel::KindAndroidDevice), 2);
        QCOMPARE(ItemModelMain::countChildrenOfKind(model.deviceRoot(), AbsTreeItemModel::KindLocalDb), 0);
        QCOMPARE(ItemModelMain::countChildrenOfKind(model.localDbRoot(), AbsTreeItemModel::KindLocalDb), 1);
        QCOMPARE(ItemModelMain::countChildrenOfKind(nullptr, AbsTreeItemModel::KindLocalDb), 0);
    }

    void indexOfNodeFindsEveryNode()
    {
        ConversationBuilder b;
        b.chat("a", {b.handle("+1")}, 1);
        b.chat("b", {b.handle("+2")}, 2);
        ItemModelMain model;
        model.addLocalDatabase({}, QStringLiteral("first"));
        _LocalDBItemNode *database = databaseWith(model, b);
        QCOMPARE(model.indexOfNode(model.localDbRoot()), model.index(1, 0));
        QCOMPARE(model.indexOfNode(database), model.index(1, 0, model.index(1, 0)));
        const Node *second = database->children.at(1);
        const QModelIndex index = model.indexOfNode(second);
        QCOMPARE(index.row(), 1);
        QCOMPARE(index.column(), 0);
        QCOMPARE(AbsTreeItemModel::nodeFromIndex(index), second);
        QVERIFY(!model.indexOfNode(nullptr).isValid());
    }
};

QTEST_MAIN(TestTreeModel)
#include "tst_treemodel.moc"
