// The window at start-up: an old-format database is converted under a
// progress dialog and then shows in a fresh window; the update check and the
// advertisement line never hold the window up, and a download offer waits
// until no operation runs. With FERRY_SCREENSHOT_DIR set,
// the conversion is saved there as window-upgrade-progress.png and the window
// after it as window-upgraded.png.

#include "tst_mainwindow_fixtures.h"

#include "core/LocalHttpServer.h"
#include "core/OldDatabaseFixture.h"

#include "app/MessageBoxes.h"
#include "ops/ProgressForm.h"
#include "ui/StartupUpgrade.h"
#include "ui/UpdateCheck.h"

#include <QLabel>
#include <QNetworkProxy>
#include <QPainter>
#include <QPushButton>
#include <QWebEngineView>
#include <QtTest>

#include <atomic>

using namespace windowtest;

namespace {

constexpr int kTimeoutMs = 60000;
const QColor kPageBackground(219, 226, 237);
const QString kSuccess = QStringLiteral("Successfully updated local database. Please restart software.");
const QString kOffer = QStringLiteral("A new version of Ferrywright Android SMS + MMS Transfer is available from "
                                      "127.0.0.1. Would you like to download it now?");

// An operation that runs until it is released, then succeeds silently.
class HeldWorker : public QThread
{
public:
    explicit HeldWorker(ProgressReporter *form)
        : m_form(form)
    {
    }
    void release() { m_released = true; }

protected:
    void run() override
    {
        while (!m_released)
            QThread::msleep(10);
        notifySuccess(m_form, QString());
    }

private:
    ProgressReporter *m_form;
    std::atomic_bool m_released{false};
};

void serveNewVersion(LocalHttpServer &server)
{
    server.answer("/sms_check_update.php", "200 OK", "http://127.0.0.1/new.exe");
    server.answer("/adv.php", "404 Not Found", "");
    qputenv("FERRY_VENDOR_HOST", server.hostSetting().toUtf8());
}

void saveShot(const QImage &image, const QString &name)
{
    const QString folder = qEnvironmentVariable("FERRY_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QVERIFY(image.save(QDir(folder).filePath(name)));
}

ProgressForm *visibleProgressForm()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<ProgressForm *>(widget); form && form->isVisible())
            return form;
    }
    return nullptr;
}

// The window with the dialog drawn over its middle, as the user sees them.
QImage windowWithDialog(QWidget &window, QWidget &dialog)
{
    QImage image = window.grab().toImage();
    QPainter painter(&image);
    const QPixmap top = dialog.grab();
    painter.drawPixmap((image.width() - top.width()) / 2, (image.height() - top.height()) / 2, top);
    return image;
}

void writeOldFamilyDatabase(const QString &folder)
{
    localdbtest::OldDatabase old(folder);
    const qint64 mum = old.handle(QStringLiteral("+919876543210"), QStringLiteral("Mum"));
    const qint64 ravi = old.handle(QStringLiteral("+919123456789"), QStringLiteral("Ravi"));
    qint64 date = 1500000000;
    for (const QString &text : {QStringLiteral("Are you coming for dinner?"), QStringLiteral("Yes, at eight"),
                                QStringLiteral("Bring bread please")})
        old.message(mum, text, date += 300, text.startsWith(QLatin1String("Yes")));
    old.message(ravi, QStringLiteral("Match tomorrow at 6"), date += 300);
}

} // namespace

class TestMainWindowUpgrade : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    }

    void cleanup()
    {
        qputenv("FERRY_VENDOR_HOST", QByteArray());
        MessageBoxes::setTestAnswerer({});
    }

    void oldDatabaseConvertedAndShown()
    {
        Environment env;
        writeOldFamilyDatabase(localDatabaseFolder(QStringLiteral("Family")));
        auto window = std::make_unique<MainWindow>(quickOptions());
        window->show();

        // The success box comes while the progress dialog still shows.
        QStringList boxes;
        bool cancelEnabled = true;
        QString status;
        QImage progressShot;
        MessageBoxes::setTestAnswerer([&](QMessageBox::Icon, const QString &text) {
            boxes.append(text);
            if (ProgressForm *form = visibleProgressForm()) {
                cancelEnabled = form->findChild<QPushButton *>(QStringLiteral("btnCancel"))->isEnabled();
                status = form->findChild<QLabel *>(QStringLiteral("lbStatus"))->text();
                progressShot = windowWithDialog(*window, *form);
            }
            return QMessageBox::Ok;
        });
        const bool ran = upgradeOldDatabasesAtStartup(window.get());
        MessageBoxes::setTestAnswerer({});
        QVERIFY(ran);
        QCOMPARE(boxes, QStringList{kSuccess});
        QVERIFY(!cancelEnabled);
        QCOMPARE(status, QStringLiteral("Updating local database Family messages..."));
        saveShot(progressShot, QStringLiteral("window-upgrade-progress.png"));
        QVERIFY(!upgradeOldDatabasesAtStartup(window.get()));  // nothing left to convert

        // As at start-up: the window is made again and shows the converted database.
        window.reset();
        window = std::make_unique<MainWindow>(quickOptions());
        // The pictures and style sheet of the bubbles sit beside the program, not the test.
        window->bubbleView().setAppFolder(QStringLiteral(FERRY_BINARY_DIR));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        Node *family = childNamed(window->treeModel()->localDbRoot(), QStringLiteral("Family"));
        QVERIFY(family);
        select(*window, family);
        QCOMPARE(family->children.size(), 2);
        QCOMPARE(window->listModel()->rowCount(), 1);  // its newest conversation
        Node *mum = family->children.at(0)->text.contains(QStringLiteral("Mum")) ? family->children.at(0)
                                                                                  : family->children.at(1);
        select(*window, mum);
        QCOMPARE(window->listModel()->rowCount(), 3);
        auto *view = window->findChild<QWebEngineView *>(QStringLiteral("webViewSMS"));
        QTRY_VERIFY_WITH_TIMEOUT(view->grab().toImage().pixelColor(3, 3) == kPageBackground, kTimeoutMs);
        QTest::qWait(500);  // pictures and fonts settle
        saveShot(window->grab().toImage(), QStringLiteral("window-upgraded.png"));
    }

    void updateCheckNeverHoldsTheWindow()
    {
        Environment env;
        LocalHttpServer server;  // the update check is never answered
        server.answer("/adv.php", "200 OK", "<a href=\"http://127.0.0.1/news\">Ferrywright news</a>");
        qputenv("FERRY_VENDOR_HOST", server.hostSetting().toUtf8());
        MainWindow window(quickOptions());
        // Built and returned before the server has read a single request.
        QVERIFY(server.requests().isEmpty());
        auto *label = window.findChild<QLabel *>(QStringLiteral("advLabel"));
        QTRY_VERIFY_WITH_TIMEOUT(label->text().contains(QStringLiteral(">Ferrywright news</a>")), kTimeoutMs);
        QCOMPARE(server.requests().size(), 2);
        QVERIFY(!QFileInfo::exists(dataRootDir().absoluteFilePath(QStringLiteral("last-check-version-time"))));

        // The next window shows the kept line before any answer.
        qputenv("FERRY_VENDOR_HOST", QByteArray());
        MainWindow next(quickOptions());
        QCOMPARE(next.findChild<QLabel *>(QStringLiteral("advLabel"))->text(), label->text());
    }

    void newVersionOffered_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("download") << true;
        QTest::newRow("not now") << false;
    }

    void newVersionOffered()
    {
        QFETCH(bool, accept);
        Environment env;
        LocalHttpServer server;
        serveNewVersion(server);
        MessageBoxes::TestRecorder boxes(accept ? QMessageBox::Yes : QMessageBox::No);
        MainWindow window(quickOptions());
        QList<QUrl> opened;
        window.setUrlOpener([&opened](const QUrl &url) { opened.append(url); });
        window.show();

        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, kTimeoutMs);
        QCOMPARE(boxes.lastText(), kOffer);
        QCOMPARE(opened, accept ? QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1/new.exe"))} : QList<QUrl>{});
        QCOMPARE(window.isVisible(), !accept);
    }

    void offerWaitsForTheRunningOperation()
    {
        Environment env;
        LocalHttpServer server;
        serveNewVersion(server);
        MessageBoxes::TestRecorder boxes(QMessageBox::Yes);
        MainWindow window(quickOptions());
        QList<QUrl> opened;
        window.setUrlOpener([&opened](const QUrl &url) { opened.append(url); });
        window.show();

        // The answers arrive while an operation runs; it ends after them.
        ProgressForm form(QString(), &window);
        HeldWorker worker(&form);
        connect(window.findChild<UpdateCheck *>(), &UpdateCheck::finished, &form, [&worker] { worker.release(); });
        QVERIFY(form.runWorker(worker));
        QCOMPARE(boxes.count(), 0);
        QVERIFY(window.isVisible());

        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, kTimeoutMs);
        QCOMPARE(boxes.lastText(), kOffer);
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1/new.exe"))});
        QVERIFY(!window.isVisible());
    }

    void offerDuringTheStartUpUpgradeGoesToTheFreshWindow()
    {
        Environment env;
        writeOldFamilyDatabase(localDatabaseFolder(QStringLiteral("Family")));
        LocalHttpServer server;
        serveNewVersion(server);
        // The success box holds the conversion until the first window's
        // answers are in.
        QStringList boxes;
        bool answeredDuringUpgrade = false;
        MessageBoxes::setTestAnswerer([&](QMessageBox::Icon, const QString &text) {
            boxes.append(text);
            if (text != kSuccess)
                return QMessageBox::Yes;
            ProgressForm *form = visibleProgressForm();
            auto *check = form ? form->parentWidget()->findChild<UpdateCheck *>() : nullptr;
            answeredDuringUpgrade =
                QTest::qWaitFor([check] { return check && check->pendingRequests() == 0; }, kTimeoutMs);
            return QMessageBox::Ok;
        });
        std::unique_ptr<MainWindow> window = showMainWindowAtStartup(quickOptions());
        QVERIFY(answeredDuringUpgrade);
        QCOMPARE(boxes, QStringList{kSuccess});
        QList<QUrl> opened;
        window->setUrlOpener([&opened](const QUrl &url) { opened.append(url); });
        QVERIFY(childNamed(window->treeModel()->localDbRoot(), QStringLiteral("Family")));

        QTRY_COMPARE_WITH_TIMEOUT(boxes, (QStringList{kSuccess, kOffer}), kTimeoutMs);
        MessageBoxes::setTestAnswerer({});
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1/new.exe"))});
        QVERIFY(!window->isVisible());
        QCOMPARE(server.requests().size(), 2);  // the fresh window did not ask again
    }
};

QTEST_MAIN(TestMainWindowUpgrade)
#include "tst_mainwindow_upgrade.moc"
