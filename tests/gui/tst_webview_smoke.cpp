// The conversation pane is a web view: this checks, headless, that the web
// engine starts, renders local XHTML with local pictures, lets a page object
// intercept link clicks, and keeps scripts off when told to.

#include "app/WebEngineProcess.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtTest>

namespace {

// Like the application's pages: link clicks are handled by the program, never
// followed by the engine.
class LinkInterceptingPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

    QList<QUrl> clickedLinks;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        Q_UNUSED(isMainFrame);
        if (type == NavigationTypeLinkClicked) {
            clickedLinks.append(url);
            return false;
        }
        return true;
    }
};

// Where the page puts its link and its picture, in view coordinates.
const QPoint kLinkCentre(70, 30);
const QPoint kPictureCentre(220, 30);
const QString kLinkTarget = QStringLiteral("http://127.0.0.1:9/clicked?id=7");
const QString kPageTitle = QStringLiteral("smoke");

QByteArray pageXhtml()
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
               "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
               "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>%1</title>"
               "<style type=\"text/css\">"
               "body { margin: 0; background: #ffffff; }"
               "#link { position: absolute; left: 10px; top: 10px; width: 120px; height: 40px;"
               " display: block; background: #0000ff; color: #ffffff; }"
               "#pic { position: absolute; left: 200px; top: 10px; width: 40px; height: 40px; }"
               "</style></head><body>"
               "<a id=\"link\" href=\"%2\">open</a>"
               "<img id=\"pic\" src=\"red.png\" alt=\"\"/>"
               "<script type=\"text/javascript\">document.title = 'script ran';</script>"
               "</body></html>")
        .arg(kPageTitle, kLinkTarget.toHtmlEscaped())
        .toUtf8();
}

} // namespace

class TestWebViewSmoke : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Shows `page` in a view and loads the test page into it; false on failure.
    bool loadPage(QWebEngineView &view, LinkInterceptingPage &page)
    {
        view.setPage(&page);
        view.resize(400, 200);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view))
            return false;
        QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
        page.setContent(pageXhtml(), QStringLiteral("application/xhtml+xml"),
                        QUrl::fromLocalFile(m_dir.path() + QLatin1Char('/')));
        if (!loaded.wait(60000) && loaded.isEmpty())
            return false;
        return loaded.first().first().toBool();
    }

    static QColor pixelAt(QWebEngineView &view, const QPoint &pos)
    {
        return view.grab().toImage().pixelColor(pos);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QImage red(40, 40, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(m_dir.filePath(QStringLiteral("red.png"))));
    }

    void rendersLocalPicture()
    {
        QWebEngineView view;
        LinkInterceptingPage page;
        QVERIFY(loadPage(view, page));
        // The first frames after loadFinished can still be blank.
        QTRY_COMPARE_WITH_TIMEOUT(pixelAt(view, kPictureCentre), QColor(Qt::red), 30000);
        QCOMPARE(pixelAt(view, kLinkCentre + QPoint(0, 15)), QColor(Qt::blue));
    }

    void linkClickIsIntercepted()
    {
        QWebEngineView view;
        LinkInterceptingPage page;
        page.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        QVERIFY(loadPage(view, page));
        QTRY_COMPARE_WITH_TIMEOUT(pixelAt(view, kPictureCentre), QColor(Qt::red), 30000);
        const QUrl pageUrl = page.url();

        QWidget *surface = view.focusProxy();
        QVERIFY(surface);
        QTest::mouseClick(surface, Qt::LeftButton, {}, kLinkCentre);

        QTRY_COMPARE_WITH_TIMEOUT(page.clickedLinks.size(), 1, 30000);
        QCOMPARE(page.clickedLinks.first(), QUrl(kLinkTarget));
        QCOMPARE(page.url(), pageUrl);
    }

    // Control for the next test: the same page runs its script when allowed.
    void scriptRunsWhenEnabled()
    {
        QWebEngineView view;
        LinkInterceptingPage page;
        page.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
        QVERIFY(loadPage(view, page));
        QTRY_COMPARE_WITH_TIMEOUT(page.title(), QStringLiteral("script ran"), 30000);
    }

    void scriptDoesNotRunWhenDisabled()
    {
        QWebEngineView view;
        LinkInterceptingPage page;
        page.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        QVERIFY(loadPage(view, page));
        // Once the page is on screen an inline script would long have run.
        QTRY_COMPARE_WITH_TIMEOUT(pixelAt(view, kPictureCentre), QColor(Qt::red), 30000);
        QCOMPARE(page.title(), kPageTitle);
    }
};

int main(int argc, char *argv[])
{
    prepareWebEngineProcess(true);
    QApplication app(argc, argv);
    TestWebViewSmoke test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webview_smoke.moc"
