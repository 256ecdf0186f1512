#include "app/AppInfo.h"
#include "app/ErrorReport.h"
#include "app/MessageBoxes.h"
#include "app/RichText.h"
#include "app/StyleSheet.h"
#include "app/WinMovable.h"

#include <QAbstractButton>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

// Resources compiled into the core library; used to hide and restore ":style.css".
extern int qInitResources_ferry_root();
extern int qCleanupResources_ferry_root();

namespace {

// Counts the mouse events that reach the widget itself, to show that the mover
// lets every event through.
class MouseCountingWidget : public QWidget
{
public:
    int presses = 0;
    int moves = 0;
    int releases = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
    void mouseMoveEvent(QMouseEvent *) override { ++moves; }
    void mouseReleaseEvent(QMouseEvent *) override { ++releases; }
};

// Runs `handle` on the next modal message box once it is showing.
void onNextMessageBox(std::function<void(QMessageBox *)> handle)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, handle] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        handle(box);
    });
    timer->start();
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    static void showFrameless(QWidget *widget)
    {
        widget->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        widget->resize(200, 150);
        widget->move(100, 100);
        widget->show();
        if (!QTest::qWaitForWindowExposed(widget))
            qWarning("window not exposed");
    }

private slots:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    }

    void cleanup()
    {
        MessageBoxes::setTestAnswerer({});
        qputenv("FERRY_VENDOR_HOST", QByteArray());
    }

    // --- style sheet (must run before anything else reads it) ---

    void styleSheetRetriedUntilReadable()
    {
        qCleanupResources_ferry_root();
        QVERIFY(!QFile::exists(QStringLiteral(":style.css")));
        QCOMPARE(appStyleSheet(), QString());
        qInitResources_ferry_root();
        QFile resource(QStringLiteral(":style.css"));
        QVERIFY(resource.open(QIODevice::ReadOnly));
        QByteArray bytes = resource.readAll();
        if (bytes.contains('\0'))
            bytes.truncate(bytes.indexOf('\0'));
        QCOMPARE(appStyleSheet(), QString::fromLatin1(bytes));
        QCOMPARE(appStyleSheet().isEmpty(), bytes.isEmpty());
    }

    // --- window mover ---

    void drag_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPoint>("pressAt");
        QTest::addColumn<bool>("releaseBeforeMove");
        QTest::addColumn<QPoint>("expectedShift");
        QTest::newRow("left drags") << Qt::LeftButton << QPoint(20, 20) << false << QPoint(30, 40);
        QTest::newRow("right does not") << Qt::RightButton << QPoint(20, 20) << false << QPoint();
        QTest::newRow("middle does not") << Qt::MiddleButton << QPoint(20, 20) << false << QPoint();
        QTest::newRow("released, then moved") << Qt::LeftButton << QPoint(20, 20) << true << QPoint();
    }

    void drag()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPoint, pressAt);
        QFETCH(bool, releaseBeforeMove);
        QFETCH(QPoint, expectedShift);

        MouseCountingWidget widget;
        widget.setMouseTracking(true); // so a move without a button reaches the mover too
        showFrameless(&widget);
        const WinMovable mover(&widget);
        const QPoint start = widget.pos();
        QTest::mousePress(&widget, button, {}, pressAt);
        if (releaseBeforeMove)
            QTest::mouseRelease(&widget, button, {}, pressAt);
        QTest::mouseMove(&widget, QPoint(50, 60));
        QCoreApplication::processEvents();
        QCOMPARE(widget.pos(), start + expectedShift);
        if (!releaseBeforeMove)
            QTest::mouseRelease(&widget, button, {}, QPoint(50, 60));

        // The mover only watches: the widget still gets every event.
        QCOMPARE(widget.presses, 1);
        QCOMPARE(widget.releases, 1);
        QVERIFY(widget.moves >= 1);
    }

    // QTest takes a null position for "the centre", so this one sends the events itself.
    void pressOnTheCornerPixelDrags()
    {
        QWidget widget;
        showFrameless(&widget);
        const WinMovable mover(&widget);
        sendMouse(&widget, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(0, 0));
        sendMouse(&widget, QEvent::MouseMove, Qt::NoButton, QPoint(7, 9));
        QCOMPARE(widget.pos(), QPoint(107, 109));
    }

    void moverOutlivedByWidgetIsHarmless()
    {
        QWidget widget;
        showFrameless(&widget);
        {
            const WinMovable mover(&widget);
        }
        QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseMove(&widget, QPoint(50, 60));
        QCOMPARE(widget.pos(), QPoint(100, 100));
    }

    void widgetDeletedBeforeMover()
    {
        auto *widget = new QWidget;
        WinMovable mover(widget);
        delete widget;
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QObject &filter = mover;
        QVERIFY(!filter.eventFilter(nullptr, &move));
    }

    // --- message boxes through the test hook ---

    void boxKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::newRow("information") << int(Information) << QMessageBox::Information;
        QTest::newRow("warning") << int(Warning) << QMessageBox::Warning;
        QTest::newRow("critical") << int(Critical) << QMessageBox::Critical;
        QTest::newRow("question") << int(Question) << QMessageBox::Question;
    }

    void boxKinds()
    {
        QFETCH(int, kind);
        QFETCH(QMessageBox::Icon, icon);
        MessageBoxes::TestRecorder boxes;
        show(BoxKind(kind), QStringLiteral("disk full"));
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.lastIcon(), icon);
        QCOMPARE(boxes.lastText(), QStringLiteral("disk full"));
    }

    void errorBoxWording()
    {
        MessageBoxes::TestRecorder boxes;
        reportError(QStringLiteral("disk full"));
        QCOMPARE(boxes.lastIcon(), QMessageBox::Critical);
        QCOMPARE(boxes.lastText(),
                 QStringLiteral("An Error Occurred. <br/><br/>disk full<br/><br/> Or you can contact ")
                     + AppInfo::supportEmail() + QStringLiteral(" for help."));
    }

    void errorBoxKeepsPercentSigns()
    {
        MessageBoxes::TestRecorder boxes;
        reportError(QStringLiteral("100% of %1 used"));
        QVERIFY(boxes.lastText().contains(QLatin1String("<br/><br/>100% of %1 used<br/><br/>")));
    }

    // Outside text stays literal in a real box, whatever it holds: a name
    // with "&" in a box without tags, and SQL with "<" inside the error frame.
    void boxesShowOutsideTextLiterally_data()
    {
        QTest::addColumn<bool>("asError");
        QTest::addColumn<QString>("outside");
        QTest::newRow("name with ampersand") << false << QStringLiteral("Tom & Jerry");
        QTest::newRow("sql in an error") << true << QStringLiteral("SELECT * FROM t WHERE a<b AND c>d\nline 2");
    }

    void boxesShowOutsideTextLiterally()
    {
        QFETCH(bool, asError);
        QFETCH(QString, outside);
        QString shown;
        onNextMessageBox([&shown](QMessageBox *box) {
            QCOMPARE(box->textFormat(), Qt::RichText);
            QTextDocument rendered;
            rendered.setHtml(box->text());
            shown = rendered.toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n'));
            box->accept();
        });
        if (asError)
            reportException(std::runtime_error(outside.toStdString()));
        else
            showInformation(QStringLiteral("Deleted %1.").arg(richTextFromPlain(outside)));
        QVERIFY2(shown.contains(outside), qPrintable(shown));
    }

    void questionAnswers_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("expected");
        QTest::newRow("yes") << QMessageBox::Yes << true;
        QTest::newRow("no") << QMessageBox::No << false;
        QTest::newRow("closed without a choice") << QMessageBox::NoButton << false;
        QTest::newRow("cancel") << QMessageBox::Cancel << false;
    }

    void questionAnswers()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, expected);
        MessageBoxes::TestRecorder boxes(answer);
        QCOMPARE(askQuestion(QStringLiteral("Delete?")), expected);
        QCOMPARE(boxes.lastIcon(), QMessageBox::Question);
    }

    void recordersNest()
    {
        MessageBoxes::TestRecorder outer;
        {
            MessageBoxes::TestRecorder inner;
            showWarning(QStringLiteral("inner"));
            QCOMPARE(inner.count(), 1);
        }
        showWarning(QStringLiteral("outer"));
        QCOMPARE(outer.count(), 1);
        QCOMPARE(outer.lastText(), QStringLiteral("outer"));
        outer.clear();
        QCOMPARE(outer.lastIcon(), QMessageBox::NoIcon);
        QCOMPARE(outer.lastText(), QString());
    }

    void plainAnswererFunction()
    {
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        MessageBoxes::setTestAnswerer([&seenIcon](QMessageBox::Icon icon, const QString &) {
            seenIcon = icon;
            return QMessageBox::Yes;
        });
        QVERIFY(askQuestion(QStringLiteral("Go on?")));
        QCOMPARE(seenIcon, QMessageBox::Question);
    }

    // --- the real box ---

    void realBoxBody_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QMessageBox::StandardButtons>("buttons");
        QTest::newRow("information") << int(Information) << QMessageBox::StandardButtons(QMessageBox::Ok);
        QTest::newRow("warning") << int(Warning) << QMessageBox::StandardButtons(QMessageBox::Ok);
        QTest::newRow("critical") << int(Critical) << QMessageBox::StandardButtons(QMessageBox::Ok);
        QTest::newRow("question") << int(Question) << (QMessageBox::Yes | QMessageBox::No);
    }

    void realBoxBody()
    {
        QFETCH(int, kind);
        QFETCH(QMessageBox::StandardButtons, buttons);
        QString title;
        Qt::WindowFlags flags;
        QString styleSheet;
        QMessageBox::StandardButtons shownButtons;
        onNextMessageBox([&](QMessageBox *box) {
            title = box->windowTitle();
            flags = box->windowFlags();
            styleSheet = box->styleSheet();
            shownButtons = box->standardButtons();
            box->close();
        });
        show(BoxKind(kind), QStringLiteral("hello"));
        QCOMPARE(title, AppInfo::productTitle());
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QCOMPARE(styleSheet, appStyleSheet());
        QCOMPARE(shownButtons, buttons);
    }

    void realQuestion_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("expected");
        QTest::newRow("close command") << "close" << false;
        QTest::newRow("escape") << "escape" << false;
        QTest::newRow("no") << "no" << false;
        QTest::newRow("yes") << "yes" << true;
    }

    void realQuestion()
    {
        QFETCH(QString, how);
        QFETCH(bool, expected);
        onNextMessageBox([how](QMessageBox *box) {
            if (how == QLatin1String("close"))
                box->close();
            else if (how == QLatin1String("escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(how == QLatin1String("yes") ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QCOMPARE(askQuestion(QStringLiteral("Delete?")), expected);
    }

    // --- error reports from the boxes ---

    void reportAfterCriticalBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("critical") << int(Critical);
        QTest::newRow("error box") << int(ErrorBox);
    }

    void reportAfterCriticalBoxes()
    {
        QFETCH(int, kind);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QByteArray received;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [&received, socket] {
                received += socket->readAll();
                if (received.endsWith(errorReportBody(QStringLiteral("disk full<br/>"))))
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            });
        });
        qputenv("FERRY_VENDOR_HOST", QByteArray("127.0.0.1:") + QByteArray::number(server.serverPort()));

        int reportsWhileShown = -1;
        MessageBoxes::setTestAnswerer([&](QMessageBox::Icon, const QString &) {
            reportsWhileShown = errorReportsInFlight();
            return QMessageBox::Ok;
        });
        show(BoxKind(kind), QStringLiteral("disk full<br/>"));
        QCOMPARE(reportsWhileShown, 0);
        QCOMPARE(errorReportsInFlight(), 1);
        // The report carries the caller's text, not the error box's wording.
        QTRY_VERIFY(received.endsWith(errorReportBody(QStringLiteral("disk full<br/>"))));
        QTRY_COMPARE(errorReportsInFlight(), 0);
    }

    void noReportFromOtherBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("information") << int(Information);
        QTest::newRow("warning") << int(Warning);
        QTest::newRow("question") << int(Question);
    }

    void noReportFromOtherBoxes()
    {
        QFETCH(int, kind);
        qputenv("FERRY_VENDOR_HOST", QByteArrayLiteral("127.0.0.1:9"));
        MessageBoxes::TestRecorder boxes;
        show(BoxKind(kind), QStringLiteral("x"));
        QCOMPARE(errorReportsInFlight(), 0);
    }

private:
    static void sendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, const QPoint &pos)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }

    enum BoxKind { Information, Warning, Critical, Question, ErrorBox };

    static void show(BoxKind kind, const QString &text)
    {
        switch (kind) {
        case Information: showInformation(text); break;
        case Warning: showWarning(text); break;
        case Critical: showCritical(text); break;
        case Question: askQuestion(text); break;
        case ErrorBox: reportError(text); break;
        }
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
