// The progress dialog every long operation runs behind, and the protocol a
// worker thread uses to reach it.

#include "app/MessageBoxes.h"
#include "ops/ProgressForm.h"
#include "work/WorkerNotify.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <functional>

namespace {

QProgressBar *bar(ProgressForm &form)
{
    return form.findChild<QProgressBar *>(QStringLiteral("progressBar"));
}

QLabel *label(ProgressForm &form, const char *name)
{
    return form.findChild<QLabel *>(QLatin1String(name));
}

QPushButton *cancelButton(ProgressForm &form)
{
    return form.findChild<QPushButton *>(QStringLiteral("btnCancel"));
}

// A worker made of a function, following the protocol of every operation:
// it reports through the notify calls and reads the form's failed flag.
class FunctionWorker : public QThread
{
public:
    explicit FunctionWorker(std::function<void()> work)
        : m_work(std::move(work))
    {
    }

protected:
    void run() override { m_work(); }

private:
    std::function<void()> m_work;
};

// Runs the dialog modally while `worker` runs, as the main window does.
int runOperation(ProgressForm &form, QThread &worker)
{
    worker.start();
    const int result = form.exec();
    worker.wait();
    return result;
}

} // namespace

class TestProgressForm : public QObject
{
    Q_OBJECT

private slots:
    void layoutAsDesigned()
    {
        ProgressForm form(QStringLiteral("Backing up"));
        QCOMPARE(form.objectName(), QStringLiteral("ProgressForm"));
        QCOMPARE(form.size(), QSize(350, 122));
        QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(form.windowFlags().testFlag(Qt::Dialog));
        QCOMPARE(form.windowTitle(), QStringLiteral("Backing up"));

        QCOMPARE(label(form, "lbStatus")->geometry(), QRect(20, 20, 311, 16));
        QCOMPARE(label(form, "lbStatus")->text(), QStringLiteral("Backing up"));
        QCOMPARE(bar(form)->geometry(), QRect(20, 40, 321, 23));
        QCOMPARE(bar(form)->value(), 0);
        QVERIFY(bar(form)->isTextVisible());
        QCOMPARE(label(form, "lbProgress")->geometry(), QRect(25, 70, 281, 20));
        QCOMPARE(label(form, "lbProgress")->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
        QVERIFY(label(form, "lbProgress")->text().isEmpty());
        QCOMPARE(cancelButton(form)->geometry(), QRect(130, 90, 75, 23));
        QCOMPARE(cancelButton(form)->text(), QStringLiteral("Cancel"));
        QVERIFY(!form.isFailed());
        QVERIFY(!form.isWaiting());
    }

    void cancelButtonCanBeDisabled()
    {
        ProgressForm form{QString()};
        form.setCancelEnabled(false);
        QVERIFY(!cancelButton(form)->isEnabled());
        form.setCancelEnabled(true);
        QVERIFY(cancelButton(form)->isEnabled());
    }

    void escapeEnterAndCloseLeaveItOpen()
    {
        ProgressForm form{QString()};
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        QTest::keyClick(&form, Qt::Key_Return);
        QVERIFY(form.isVisible());
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        form.reject();
        form.accept();
        QVERIFY(form.isVisible());
        QVERIFY(!form.isFailed());
    }

    void updateProgress_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expectedStatus");
        QTest::addColumn<int>("expectedValue");
        QTest::addColumn<QString>("expectedText");

        QTest::newRow("all three") << "Loading" << 40 << "sms: 4/10" << "Loading" << 40 << "sms: 4/10";
        QTest::newRow("empty status keeps the title") << "" << 40 << "x" << "Title" << 40 << "x";
        QTest::newRow("negative value keeps the bar") << "Loading" << -1 << "Receiving a.jpg(3 KB)"
                                                      << "Loading" << 7 << "Receiving a.jpg(3 KB)";
        QTest::newRow("empty text shows the percent") << "" << 33 << "" << "Title" << 33 << "Progress:33%";
        QTest::newRow("empty text, kept bar") << "" << -5 << "" << "Title" << 7 << "Progress:7%";
    }

    void updateProgress()
    {
        QFETCH(QString, status);
        QFETCH(int, value);
        QFETCH(QString, text);
        ProgressForm form(QStringLiteral("Title"));
        form.updateProgress(QString(), 7, QStringLiteral("before"));
        form.updateProgress(status, value, text);
        QTEST(label(form, "lbStatus")->text(), "expectedStatus");
        QTEST(bar(form)->value(), "expectedValue");
        QTEST(label(form, "lbProgress")->text(), "expectedText");
    }

    void oneOfThreeItemsShows33()
    {
        ProgressForm form{QString()};
        form.updateProgress(QString(), progressPercent(1, 3), QString());
        QCOMPARE(bar(form)->value(), 33);
        QCOMPARE(label(form, "lbProgress")->text(), QStringLiteral("Progress:33%"));
    }

    void progressPercentTruncates_data()
    {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("percent");
        QTest::newRow("1 of 3") << qint64(1) << qint64(3) << 33;
        QTest::newRow("2 of 3") << qint64(2) << qint64(3) << 66;
        QTest::newRow("all") << qint64(1000) << qint64(1000) << 100;
        QTest::newRow("unknown total") << qint64(5) << qint64(-1) << -500;
        QTest::newRow("zero total") << qint64(5) << qint64(0) << -1;
        QTest::newRow("large counts") << qint64(3000000000) << qint64(6000000000) << 50;
    }

    void progressPercentTruncates()
    {
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QTEST(progressPercent(done, total), "percent");
    }

    void errorShowsTheErrorBoxAndFails()
    {
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        QSignalSpy finished(&form, &QDialog::finished);
        form.errorOccurred(QStringLiteral("disk full"));
        QCOMPARE(boxes.count(), 1);
        QVERIFY(boxes.lastText().contains(QStringLiteral("disk full")));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), 0);
        QVERIFY(form.isFailed());
    }

    void success_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("boxes");
        QTest::newRow("empty text, no box") << QString() << 0;
        QTest::newRow("text shown") << QStringLiteral("Done.") << 1;
    }

    void success()
    {
        QFETCH(QString, text);
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        QSignalSpy finished(&form, &QDialog::finished);
        form.succeed(text);
        QTEST(boxes.count(), "boxes");
        if (!text.isEmpty()) {
            QCOMPARE(boxes.lastIcon(), QMessageBox::Information);
            QVERIFY(boxes.lastText().contains(text));
        }
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), 1);
        QVERIFY(!form.isFailed());
    }

    void reportsAfterTheEndAreIgnored()
    {
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        form.succeed(QString());
        form.errorOccurred(QStringLiteral("late"));
        form.succeed(QStringLiteral("late"));
        QCOMPARE(boxes.count(), 0);
        QVERIFY(!form.isFailed());
    }

    void cancelEndsRejectedAndTellsTheWorker()
    {
        ProgressForm form{QString()};
        QSignalSpy cancelled(&form, &ProgressForm::userCacel);
        QSignalSpy finished(&form, &QDialog::finished);
        form.show();
        QTest::mouseClick(cancelButton(form), Qt::LeftButton);
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), 0);
        QVERIFY(form.isFailed());
        QVERIFY(!form.isVisible());
    }

    void tipsWaitReleasesTheWorker()
    {
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        form.setWaiting(true);
        form.tipsWait(QStringLiteral("Set the default SMS app."));
        QCOMPARE(boxes.count(), 1);
        QVERIFY(boxes.lastText().contains(QStringLiteral("Set the default SMS app.")));
        QVERIFY(!form.isWaiting());
    }

    // A worker's reports arrive through the dialog's event loop.
    void workerRunsToSuccess()
    {
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        FunctionWorker worker([&form] {
            notifyProgress(&form, QStringLiteral("Exporting"), 0, QString());
            for (int i = 1; i <= 3; ++i)
                notifyProgress(&form, QStringLiteral("Exporting"), progressPercent(i, 3),
                               QStringLiteral("Messages: %1/%2").arg(i).arg(3));
            notifySuccess(&form, QString());
        });
        QCOMPARE(runOperation(form, worker), 1);
        QVERIFY(!form.isFailed());
        QCOMPARE(bar(form)->value(), 100);
        QCOMPARE(label(form, "lbStatus")->text(), QStringLiteral("Exporting"));
        QCOMPARE(label(form, "lbProgress")->text(), QStringLiteral("Messages: 3/3"));
        QCOMPARE(boxes.count(), 0);
    }

    void workerErrorFailsTheOperation()
    {
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        FunctionWorker worker([&form] { notifyError(&form, QStringLiteral("no space left")); });
        QCOMPARE(runOperation(form, worker), 0);
        QVERIFY(form.isFailed());
        QCOMPARE(boxes.count(), 1);
        QVERIFY(boxes.lastText().contains(QStringLiteral("no space left")));
    }

    // Cancel is seen between items: the item under way is finished, no later
    // one is started, and nothing is reported.
    void cancelStopsTheWorkerBetweenItems()
    {
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        const int items = 100000;
        std::atomic_int processed{0};
        std::atomic_bool sawCancel{false};
        FunctionWorker worker([&] {
            try {
                for (int i = 1; i <= items; ++i) {
                    throwIfCancelled(&form);
                    notifyProgress(&form, QString(), progressPercent(i, items), QString());
                    QThread::usleep(200);
                    ++processed;
                }
                notifySuccess(&form, QString());
            } catch (const OperationCancelled &) {
                sawCancel = true;
            }
        });
        QTimer::singleShot(100, &form, [&form] { QTest::mouseClick(cancelButton(form), Qt::LeftButton); });
        QCOMPARE(runOperation(form, worker), 0);
        QVERIFY(sawCancel.load());
        QVERIFY(processed.load() < items);
        QVERIFY(form.isFailed());
        QCOMPARE(boxes.count(), 0);
    }

    void windowStaysResponsiveWhileAWorkerWindsDown()
    {
        ProgressForm form{QString()};
        FunctionWorker worker([&form] {
            while (!form.isFailed())
                QThread::msleep(10);
            QThread::msleep(500);  // a wait that ignores the cancel for a while
        });
        QTimer::singleShot(50, &form, [&form] { QTest::mouseClick(cancelButton(form), Qt::LeftButton); });
        bool shownMeanwhile = false;
        QTimer::singleShot(300, &form, [&] {
            shownMeanwhile = form.isVisible() && !cancelButton(form)->isEnabled();
        });
        QVERIFY(!form.runWorker(worker));
        QVERIFY(worker.isFinished());
        QVERIFY(shownMeanwhile);
        QVERIFY(!form.isVisible());
    }

    void notifyAndWaitBlocksUntilTheBoxIsClosed()
    {
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        std::atomic_bool waitedForBox{false};
        FunctionWorker worker([&] {
            notifyAndWait(&form, QStringLiteral("Confirm on the phone."));
            waitedForBox = !form.isWaiting();
            notifySuccess(&form, QString());
        });
        QCOMPARE(runOperation(form, worker), 1);
        QVERIFY(waitedForBox.load());
        QCOMPARE(boxes.count(), 1);
        QVERIFY(boxes.lastText().contains(QStringLiteral("Confirm on the phone.")));
    }

    void notifyAndWaitEndsWhenTheDialogHasEnded()
    {
        MessageBoxes::TestRecorder boxes;
        ProgressForm form{QString()};
        form.setFailed(true);  // the dialog ended while the worker was busy
        FunctionWorker worker([&form] { notifyAndWait(&form, QStringLiteral("late")); });
        worker.start();
        QVERIFY(worker.wait(5000));
    }

    void pacerLetsOneReportThroughPerInterval()
    {
        ProgressPacer pacer(200);
        QVERIFY(pacer.due());
        QVERIFY(!pacer.due());
        QVERIFY(pacer.due(true));
        QVERIFY(!pacer.due());
        QTest::qSleep(250);
        QVERIFY(pacer.due());
    }

    void nullTargetIsIgnored()
    {
        notifyProgress(nullptr, QStringLiteral("x"), 1, QString());
        notifyError(nullptr, QStringLiteral("x"));
        notifySuccess(nullptr, QStringLiteral("x"));
        notifyAndWait(nullptr, QStringLiteral("x"));
        QVERIFY(!isCancelled(nullptr));
        throwIfCancelled(nullptr);
    }
};

QTEST_MAIN(TestProgressForm)
#include "tst_progressform.moc"
