#include "views/BubbleViewMgr.h"

#include "app/FileErrors.h"
#include "app/MessageBoxes.h"
#include "app/Platform.h"
#include "app/RichText.h"
#include "views/BubblePage.h"
#include "views/BubbleWebPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonArray>
#include <QTemporaryFile>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <stdexcept>

namespace {

// The engine turns in-memory content into a percent-encoded data URL and
// refuses URLs longer than 2 MB.
constexpr qsizetype kMaxDataUrlChars = 2 * 1024 * 1024;
const QByteArray kDataUrlPrefix = QByteArrayLiteral("data:text/html;charset=UTF-8,");

bool isUnreservedUrlByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
        || c == '.' || c == '_' || c == '~';
}

bool fitsInDataUrl(const QByteArray &utf8)
{
    qsizetype length = kDataUrlPrefix.size();
    for (const char c : utf8) {
        length += isUnreservedUrlByte(c) ? 1 : 3;
        if (length > kMaxDataUrlChars)
            return false;
    }
    return true;
}

// Room left above a message scrolled to.
constexpr int kAnchorHeadroomPixels = 16;

// Pictures and media open in their program; other files are saved as a copy.
// A suffix counts when it appears anywhere in this text, so a file without
// suffix opens too.
const QString kOpenableSuffixes = QStringLiteral("jpg jpeg png bmp gif mp3 mp4 mov");

bool isOpenable(const QFileInfo &file)
{
    // "x.exe." has no suffix to Qt, but Windows drops the trailing dot and
    // would run x.exe: such names are only ever saved.
    const QString name = file.fileName();
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    return kOpenableSuffixes.contains(file.suffix(), Qt::CaseInsensitive);
}

QString askSavePath(const QString &caption, const QString &proposedPath)
{
    return QFileDialog::getSaveFileName(nullptr, caption, proposedPath);
}

bool isSameFile(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

} // namespace

BubbleViewMgr::BubbleViewMgr(QObject *parent)
    : QObject(parent)
    , m_appFolder(QCoreApplication::applicationDirPath())
    , m_chooseSavePath(askSavePath)
    , m_openFile(Platform::openWithShell)
{
}

BubbleViewMgr::~BubbleViewMgr() = default;

void BubbleViewMgr::attachView(QWebEngineView *view)
{
    m_webView = view;
    if (!view)
        return;
    auto *page = new BubbleWebPage(view);
    view->setPage(page);
    connect(view, &QWebEngineView::loadFinished, this, &BubbleViewMgr::onLoadFinish);
    connect(page, &BubbleWebPage::linkClicked, this, &BubbleViewMgr::onLinkClicked);
}

void BubbleViewMgr::showBubble(const MsgMessageList &smslist)
{
    m_messageList = smslist;
    if (!m_messageList.isEmpty()) {
        m_pageCount = bubblePageCount(m_messageList.size());
        firstPage();
        return;
    }
    m_currentPage = 0;
    m_pageCount = 0;
    m_pageHtml.clear();
    loadIntoView(QString(), QUrl());
}

void BubbleViewMgr::onLoadFinish(bool ok)
{
    // A link refused just before (see BubbleWebPage) can, on a busy
    // machine, cancel the page shown in its place: show that page once more.
    if (!ok && m_pageLoading && !m_pageReloaded && m_currentPage > 0) {
        m_pageReloaded = true;
        showPage(m_currentPage);
        return;
    }
    m_pageLoading = false;
    nameRenderSurface();
    // A link the page refused to follow also ends as a failed load; that must
    // not move the view.
    if (ok)
        scrollToAnchor();
}

void BubbleViewMgr::nameRenderSurface()
{
    // The surface the web engine paints on takes the keyboard focus; a screen
    // reader names it by the view's name. The engine may replace it, so it is
    // named after every load.
    QWidget *surface = m_webView ? m_webView->focusProxy() : nullptr;
    if (surface && surface->accessibleName().isEmpty())
        surface->setAccessibleName(m_webView->accessibleName());
}

void BubbleViewMgr::onLinkClicked(const QUrl &url)
{
    const QString path = url.path();
    if (path == QLatin1String("/pre_page"))
        previousPage();
    else if (path == QLatin1String("/next_page"))
        nextPage();
    else if (url.isLocalFile())
        handleFileLink(url.toLocalFile());
}

void BubbleViewMgr::firstPage()
{
    m_currentPage = 1;
    m_anchor = QStringLiteral("start");
    renderPage(m_currentPage);
}

void BubbleViewMgr::previousPage()
{
    if (m_currentPage < 2)
        return;
    m_anchor = QStringLiteral("end");
    renderPage(--m_currentPage);
}

void BubbleViewMgr::nextPage()
{
    if (m_currentPage >= m_pageCount)
        return;
    m_anchor = QStringLiteral("start");
    renderPage(++m_currentPage);
}

void BubbleViewMgr::lastPage()
{
    m_currentPage = m_pageCount;
    m_anchor = QStringLiteral("end");
    renderPage(m_currentPage);
}

void BubbleViewMgr::scrollToPos(int ipos)
{
    if (ipos < 0 || ipos >= m_messageList.size() || !m_messageList.at(ipos))
        return;
    const int page = bubblePageOfPosition(ipos);
    m_anchor = messageAnchorName(*m_messageList.at(ipos));
    if (page == m_currentPage) {
        scrollToAnchor();
        return;
    }
    m_currentPage = page;
    renderPage(page);
}

void BubbleViewMgr::renderPage(int page)
{
    if (page < 1 || page > m_pageCount)
        return;
    loadPage(page);
}

QUrl BubbleViewMgr::baseUrl() const
{
    return QUrl::fromLocalFile(m_appFolder + QLatin1Char('/'));
}

void BubbleViewMgr::loadPage(int page)
{
    m_pageReloaded = false;
    showPage(page);
}

void BubbleViewMgr::showPage(int page)
{
    m_pageLoading = true;
    m_pageHtml = bubblePageHtml(m_messageList, page);
    m_pageFile.reset();
    if (fitsInDataUrl(m_pageHtml.toUtf8()) || !loadThroughFile(page))
        loadIntoView(m_pageHtml, baseUrl());
}

// A page too long for a data URL (long texts, many names) is written to a
// temporary file and loaded from there; a <base> element keeps the relative
// addresses pointing into the data folder.
bool BubbleViewMgr::loadThroughFile(int page)
{
    auto file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("bubble-XXXXXX.html")));
    if (!file->open())
        return false;
    const QString html = bubblePageHtml(m_messageList, page, baseUrl().toString());
    if (file->write(html.toUtf8()) < 0 || !file->flush())
        return false;
    file->close();
    m_pageFile = std::move(file);
    if (m_webView)
        m_webView->page()->load(QUrl::fromLocalFile(m_pageFile->fileName()));
    return true;
}

void BubbleViewMgr::loadIntoView(const QString &html, const QUrl &base)
{
    if (m_webView)
        m_webView->page()->setHtml(html, base);
}

void BubbleViewMgr::scrollToAnchor()
{
    if (!m_webView || m_anchor.isEmpty())
        return;
    // Page scripts are off; the program's own script runs in its separate
    // world. The page's start is its very top; any other anchor is brought up
    // with a little room above it, so that its date line shows whole.
    const QString name = QString::fromUtf8(QJsonDocument(QJsonArray{m_anchor}).toJson(QJsonDocument::Compact));
    const QString script = QStringLiteral(
                               "(function(n){if(n==='start'){window.scrollTo(0,0);return;}"
                               "var a=document.getElementsByName(n)[0];if(!a)return;"
                               "var y=a.getBoundingClientRect().top+window.scrollY-%2;"
                               "window.scrollTo(0,Math.max(0,y));})(%1[0]);")
                               .arg(name)
                               .arg(kAnchorHeadroomPixels);
    m_webView->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

void BubbleViewMgr::handleFileLink(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile()) {
        // The name comes from a message; the box shows rich text.
        showWarning(QStringLiteral("can not find %1.").arg(richTextFromPlain(path)));
        return;
    }
    if (isOpenable(file)) {
        if (m_openFile)
            m_openFile(path);
        return;
    }
    saveCopy(path);
}

void BubbleViewMgr::saveCopy(const QString &path)
{
    if (!m_chooseSavePath)
        return;
    const QString proposed = QDir::home().filePath(QFileInfo(path).fileName());
    const QString target = m_chooseSavePath(tr("IDS_SAVE_ATTACHMENT"), proposed);
    if (target.isEmpty())
        return;
    // Choosing the attachment itself must not delete it before copying.
    if (isSameFile(path, target)) {
        showInformation(tr("IDS_SAVE_ATTACHMENT_SUC"));
        return;
    }
    if (QFileInfo::exists(target))
        QFile::remove(target);
    try {
        copyFileOrThrow(path, target);
    } catch (const std::runtime_error &error) {
        // The fixed text does not say why; the copy's own text does.
        reportError(tr("IDS_SAVE_ATTACHMENT_FILE_ERROR") + QStringLiteral("<br/>")
                    + richTextFromPlain(QString::fromUtf8(error.what())));
        return;
    }
    showInformation(tr("IDS_SAVE_ATTACHMENT_SUC"));
}
