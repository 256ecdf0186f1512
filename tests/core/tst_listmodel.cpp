// The message list: its four columns, icons and row colours, and the rule that
// only the date column sorts.

#include "core/tst_bubble_fixtures.h"

#include "store/MessageText.h"
#include "views/ItemModelSms.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QLocale>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

namespace {

QImage scaledIcon(const QString &path)
{
    return QPixmap(path).scaledToWidth(18, Qt::FastTransformation).toImage();
}

QString rowText(const ItemModelSms &model, int row, int column, int role = Qt::DisplayRole)
{
    return model.index(row, column).data(role).toString();
}

} // namespace

class TestListModel : public QObject
{
    Q_OBJECT

private slots:
    void emptyListShowsOnlyHeaders()
    {
        ItemModelSms model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 4);
        QStringList headers;
        for (int column = 0; column < model.columnCount(); ++column)
            headers << model.headerData(column, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"Date", "Flag", "Contact", "Content"}));
        QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
        QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
        QVERIFY(!model.headerData(4, Qt::Horizontal).isValid());
    }

    void rowLooks_data()
    {
        QTest::addColumn<bool>("fromMe");
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QColor>("background");
        const QColor green(245, 255, 226);
        const QColor white(255, 255, 255);
        QTest::newRow("received SMS") << false << "SMS" << "From" << ":/res/icon_sms-receive.png" << white;
        QTest::newRow("sent SMS") << true << "SMS" << "To" << ":/res/icon_sms-sent.png" << green;
        QTest::newRow("received iMessage") << false << "iMessage" << "From" << ":/res/imsg-rec.png" << white;
        QTest::newRow("sent iMessage, upper case") << true << "IMESSAGE" << "To" << ":/res/imsg-send.png" << green;
        QTest::newRow("sent, no service") << true << "" << "To" << ":/res/icon_sms-sent.png" << green;
    }

    void rowLooks()
    {
        QFETCH(bool, fromMe);
        QFETCH(QString, service);
        QFETCH(QString, flag);
        QFETCH(QString, icon);
        QFETCH(QColor, background);
        ConversationBuilder b;
        _MsgMessage *m = b.message(b.chat("+1", {b.handle("+1", "Ann")}), 0, "hello", fromMe);
        m->service = service;
        ItemModelSms model;
        model.setMessages(b.list());

        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnFlag), flag);
        QCOMPARE(model.index(0, 0).data(Qt::DecorationRole).value<QPixmap>().toImage(), scaledIcon(icon));
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(model.index(0, column).data(Qt::BackgroundRole).value<QBrush>(), QBrush(background));
            QCOMPARE(model.index(0, column).data(Qt::SizeHintRole).toSize(), QSize(0, 23));
        }
        for (int column = 1; column < 4; ++column)
            QVERIFY(!model.index(0, column).data(Qt::DecorationRole).isValid());
        QVERIFY(!model.index(0, 0).data(Qt::EditRole + 100).isValid());
    }

    void columnTexts()
    {
        ConversationBuilder b;
        _MsgHandle *ann = b.handle("+15550001", "Ann");
        _MsgMessage *m = b.message(b.chat("+15550001", {ann}), 0, "see you \xF0\x9F\x98\x84 at 5\xEE\x90\x95", false);
        ItemModelSms model;
        model.setMessages(b.list());

        const QString date = QLocale::system().toString(appleTimeToDateTime(m->date), QLocale::ShortFormat);
        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnDate), date);
        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnContact), QStringLiteral("Ann (+15550001)"));
        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnContent), QStringLiteral("see you [EMOJI] at 5[EMOJI]"));
        for (int column = 0; column < 4; ++column)
            QCOMPARE(rowText(model, 0, column, Qt::ToolTipRole), rowText(model, 0, column));
    }

    void groupEventRow()
    {
        ConversationBuilder b;
        _MsgHandle *ann = b.handle("+1", "Ann");
        _MsgChat *group = b.chat("g", {ann, b.handle("+2", "Bob")});
        group->display_name = QStringLiteral("Climbers");
        _MsgMessage *event = b.message(group, 0, QString(), false, ann);
        event->item_type = _MsgMessage::ItemConversationNamed;
        event->group_title = QStringLiteral("Climbers");
        ItemModelSms model;
        model.setMessages(b.list());

        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnFlag), QString());
        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnContact), QStringLiteral("Climbers"));
        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnContent), messagePlainText(*event));
        QVERIFY(rowText(model, 0, ItemModelSms::ColumnContent).startsWith(QStringLiteral("Ann named the conversation")));
    }

    void groupEventWithoutChatHasNoContact()
    {
        ConversationBuilder b;
        _MsgMessage *event = b.message(nullptr, 0, QString(), false);
        event->item_type = 7;
        ItemModelSms model;
        model.setMessages(b.list());
        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnContact), QString());
        QVERIFY(rowText(model, 0, ItemModelSms::ColumnContent).startsWith(QStringLiteral("System Information.")));
    }

    void groupMessageNamesItsSender()
    {
        ConversationBuilder b;
        _MsgHandle *ann = b.handle("+1", "Ann");
        _MsgHandle *bob = b.handle("+2");
        _MsgChat *group = b.chat("g", {ann, bob});
        b.message(group, 0, "hi", false, bob);
        ItemModelSms model;
        model.setMessages(b.list());
        QCOMPARE(rowText(model, 0, ItemModelSms::ColumnContact), messageSenderLabel(*b.list().first()));
        QVERIFY(rowText(model, 0, ItemModelSms::ColumnContact).endsWith(QStringLiteral(" (+2)")));
    }

    void indexesOfAFlatList()
    {
        ConversationBuilder b;
        b.chatter(b.chat("+1", {b.handle("+1")}), 3);
        ItemModelSms model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.setMessages(b.list());
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(2, 0).internalPointer(), static_cast<void *>(b.list().at(2)));
        QCOMPARE(model.index(2, 3).internalPointer(), nullptr);
        QCOMPARE(model.messageAt(1), b.list().at(1));
        QCOMPARE(model.messageAt(3), nullptr);
        QCOMPARE(model.messageAt(-1), nullptr);
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(model.rowCount(model.index(0, column)), 0);
            QVERIFY(!model.parent(model.index(0, column)).isValid());
        }
        QVERIFY(!model.index(3, 0).isValid());
        QVERIFY(!model.index(0, 4).isValid());
        QCOMPARE(model.messageList(), b.list());

        model.setMessages({});
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(reset.size(), 2);
    }

    // --- sorting ---

    void onlyTheDateColumnSorts()
    {
        QVERIFY(ItemModelSms::isSortableColumn(0));
        for (int column = 1; column < 4; ++column)
            QVERIFY(!ItemModelSms::isSortableColumn(column));
    }

    void sortForDisplayUsesMessageOrder()
    {
        ConversationBuilder b;
        _MsgChat *c = b.chat("+1", {b.handle("+1")});
        _MsgMessage *late = b.message(c, 1000, "late", false);
        _MsgMessage *early = b.message(c, 0, "early", true);
        // Close in store order and in time: store order wins over the date.
        _MsgMessage *storedFirst = b.message(c, 500, "stored first", false);
        _MsgMessage *storedSecond = b.message(c, 450, "stored second", false);

        MsgMessageList list = b.list();
        ItemModelSms::sortForDisplay(list, Qt::AscendingOrder);
        QCOMPARE(list, (MsgMessageList{early, storedFirst, storedSecond, late}));
        ItemModelSms::sortForDisplay(list, Qt::DescendingOrder);
        QCOMPARE(list, (MsgMessageList{late, storedSecond, storedFirst, early}));
    }

    void theModelItselfDoesNotReorder()
    {
        ConversationBuilder b;
        _MsgChat *c = b.chat("+1", {b.handle("+1")});
        b.message(c, 1000, "b", false);
        b.message(c, 0, "a", false);
        ItemModelSms model;
        model.setMessages(b.list());
        // A sorting view calls sort(); the list and the conversation pane must
        // stay in the order the owner gave both.
        model.sort(ItemModelSms::ColumnContent, Qt::AscendingOrder);
        model.sort(ItemModelSms::ColumnDate, Qt::AscendingOrder);
        QCOMPARE(model.messageList(), b.list());
    }
};

QTEST_MAIN(TestListModel)
#include "tst_listmodel.moc"
