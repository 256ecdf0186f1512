// Showing a long conversation: what the window does when a conversation of
// 20,000 messages is selected (sort, reset the message list, render and load
// the first page of bubbles), timed against sorting the same list alone.
//
//   bench_conversation [--messages N] [--runs N] [--budget-ms N]
//
// Prints the medians and their ratio; exits with 1 when showing takes longer
// than the budget (500 ms by default).

#include "app/WebEngineProcess.h"

#include "store/AppleTime.h"
#include "store/MsgDataSet.h"
#include "views/BubblePage.h"
#include "views/BubbleViewMgr.h"
#include "views/ItemModelSms.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QHeaderView>
#include <QSplitter>
#include <QTest>
#include <QTreeView>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

const QStringList kTexts = {
    QStringLiteral("On my way"),
    QStringLiteral("Did you see the match last night? Unbelievable second half."),
    QString::fromUtf8("Thanks \xF0\x9F\x98\x84"),
    QStringLiteral("Can you pick up bread & milk <the usual>?"),
    QStringLiteral("Meeting moved to 3pm.\nRoom 4B instead of 2A."),
    QString::fromUtf8("\xF0\x9F\x91\x8D\xF0\x9F\x91\x8D"),
    QStringLiteral("Call me when you are free, it's about the weekend plans and who drives."),
};

// One two-party conversation of `count` messages, dated a few minutes apart,
// in store order; `set` owns the records.
MsgMessageList buildConversation(MsgDataSet &set, int count)
{
    _MsgHandle *other = set.ensureHandle(1);
    other->id = QStringLiteral("+15550001");
    other->_ct_name = QStringLiteral("Ann Lee");
    _MsgChat *chat = set.ensureChat(1);
    chat->chat_identifier = other->id;
    chat->handles.insert(QStringLiteral("1"), other);

    std::mt19937 random(20000);
    std::uniform_int_distribution<int> gap(5, 900);
    qint32 date = dateTimeToAppleTime(QDateTime(QDate(2020, 1, 1), QTime(8, 0)));
    MsgMessageList list;
    list.reserve(count);
    for (int i = 1; i <= count; ++i) {
        _MsgMessage *m = set.ensureMessage(i);
        m->sortKey = i;
        m->date = (date += gap(random));
        m->text = kTexts.at(i % kTexts.size());
        m->is_from_me = (i % 3 == 0) ? 1 : 0;
        m->service = QStringLiteral("SMS");
        m->chat = chat;
        m->handle = m->is_from_me ? nullptr : other;
        chat->messages.insert(QString::number(i), m);
        list.append(m);
    }
    return list;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

double millisecondsSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The message list and the conversation pane side by side, like the window.
struct Panes
{
    QSplitter splitter;
    QTreeView list;
    QWebEngineView web;
    ItemModelSms model;
    BubbleViewMgr bubbles;
    int pagesShown = 0;

    Panes()
    {
        splitter.addWidget(&list);
        splitter.addWidget(&web);
        list.setModel(&model);
        list.setSortingEnabled(true);
        list.header()->setSortIndicator(0, Qt::AscendingOrder);
        bubbles.setAppFolder(QStringLiteral(FERRY_BINARY_DIR));
        bubbles.attachView(&web);
        QObject::connect(&web, &QWebEngineView::loadFinished, &web, [this](bool ok) { pagesShown += ok ? 1 : 0; });
        splitter.resize(900, 680);
        splitter.show();
    }

    // Sort, show in the list, render and load the first page; false when the
    // page did not load.
    bool show(MsgMessageList messages)
    {
        const int before = pagesShown;
        ItemModelSms::sortForDisplay(messages, Qt::AscendingOrder);
        model.setMessages(messages);
        bubbles.showBubble(messages);
        return waitForPage(before);
    }

    // Runs the event loop until another page has loaded. A polling wait
    // (QTest::qWaitFor) would sleep between the engine's many small steps.
    bool waitForPage(int before)
    {
        QEventLoop loop;
        bool timedOut = false;
        QTimer::singleShot(60000, &loop, [&loop, &timedOut] {
            timedOut = true;
            loop.quit();
        });
        QObject::connect(&web, &QWebEngineView::loadFinished, &loop, &QEventLoop::quit);
        while (pagesShown == before && !timedOut)
            loop.exec();
        return pagesShown > before;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngineProcess(true);
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.addOption({QStringLiteral("messages"), QStringLiteral("Messages in the conversation."), QStringLiteral("N"), QStringLiteral("20000")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Timed runs of each kind."), QStringLiteral("N"), QStringLiteral("15")});
    parser.addOption({QStringLiteral("budget-ms"), QStringLiteral("Longest acceptable median to show."), QStringLiteral("N"), QStringLiteral("500")});
    parser.addHelpOption();
    parser.process(app);
    const int count = std::max(1, parser.value(QStringLiteral("messages")).toInt());
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const double budget = parser.value(QStringLiteral("budget-ms")).toDouble();

    MsgDataSet set;
    MsgMessageList shuffled = buildConversation(set, count);
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));

    Panes panes;
    if (!QTest::qWaitForWindowExposed(&panes.splitter) || !panes.show(shuffled)) {  // starts the engine
        std::fprintf(stderr, "the conversation pane did not load\n");
        return 2;
    }

    QList<double> sortTimes;
    QList<double> renderTimes;
    QList<double> showTimes;
    for (int run = 0; run < runs; ++run) {
        MsgMessageList copy = shuffled;
        QElapsedTimer timer;
        timer.start();
        ItemModelSms::sortForDisplay(copy, Qt::AscendingOrder);
        sortTimes << millisecondsSince(timer);

        timer.restart();
        const QString page = bubblePageHtml(copy, 1);
        renderTimes << millisecondsSince(timer);
        Q_UNUSED(page);

        (void)panes.show(MsgMessageList());  // start from an empty pane, like a new selection
        timer.restart();
        if (!panes.show(shuffled)) {
            std::fprintf(stderr, "the conversation pane did not load\n");
            return 2;
        }
        showTimes << millisecondsSince(timer);
    }

    const double sortMs = median(sortTimes);
    const double renderMs = median(renderTimes);
    const double showMs = median(showTimes);
    std::printf("messages: %d, runs: %d\n", count, runs);
    std::printf("sort alone:               %8.2f ms (median)\n", sortMs);
    std::printf("render first page markup: %8.2f ms (median)\n", renderMs);
    std::printf("sort + list + page shown: %8.2f ms (median, slowest %.2f ms)\n", showMs,
                *std::max_element(showTimes.cbegin(), showTimes.cend()));
    std::printf("ratio show / sort:        %8.1f\n", sortMs > 0 ? showMs / sortMs : 0.0);
    const bool withinBudget = showMs <= budget;
    std::printf("budget %.0f ms: %s\n", budget, withinBudget ? "met" : "EXCEEDED");
    return withinBudget ? 0 : 1;
}
