#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebEngineView>

#include <functional>
#include <memory>

#include "store/MsgMessageList.h"

class QTemporaryFile;

// Drives the conversation pane: shows the current message list as chat
// bubbles, 50 messages per page, scrolls to a message, and handles the page
// and attachment links (open pictures and media, save a copy of anything else,
// warn about a missing file).
//
// The manager does not own the messages: the owner replaces the list (or
// shows an empty one) before the data set holding them goes.
class BubbleViewMgr : public QObject
{
    Q_OBJECT
public:
    // Asks where to save a copy; an empty answer cancels.
    using SavePathChooser = std::function<QString(const QString &caption, const QString &proposedPath)>;
    // Opens a file with the desktop's program for it.
    using FileOpener = std::function<void(const QString &path)>;

    explicit BubbleViewMgr(QObject *parent = nullptr);
    ~BubbleViewMgr() override;

    // Puts a BubbleWebPage into the view and follows its loads and links.
    void attachView(QWebEngineView *view);
    QWebEngineView *webView() const { return m_webView; }

    // Renders page `page` (1-based) of the list and loads it; nothing outside
    // 1..pageCount().
    void renderPage(int page);

    const MsgMessageList &messageList() const { return m_messageList; }
    int currentPage() const { return m_currentPage; }
    int pageCount() const { return m_pageCount; }
    // The anchor the view scrolls to once the page has loaded.
    const QString &anchor() const { return m_anchor; }
    // The markup of the page last rendered; empty when nothing is shown.
    const QString &pageHtml() const { return m_pageHtml; }
    // Whether the last page was too large for an in-memory load and went
    // through a temporary file.
    bool lastPageFromFile() const { return m_pageFile != nullptr; }

    // The folder holding "bubble" and "emoji"; the executable's folder unless set.
    void setAppFolder(const QString &folder) { m_appFolder = folder; }
    const QString &appFolder() const { return m_appFolder; }

    // Test seams; by default a file dialog and the desktop shell.
    void setSavePathChooser(SavePathChooser chooser) { m_chooseSavePath = std::move(chooser); }
    void setFileOpener(FileOpener opener) { m_openFile = std::move(opener); }

public slots:
    void showBubble(const MsgMessageList &smslist);
    void onLoadFinish(bool ok);
    void onLinkClicked(const QUrl &url);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void scrollToPos(int ipos);

private:
    QUrl baseUrl() const;
    void loadPage(int page);
    void loadIntoView(const QString &html, const QUrl &base);
    bool loadThroughFile(int page);
    void showPage(int page);
    void scrollToAnchor();
    void nameRenderSurface();
    void handleFileLink(const QString &path);
    void saveCopy(const QString &path);

    QPointer<QWebEngineView> m_webView;
    MsgMessageList m_messageList;
    int m_currentPage = 0;
    int m_pageCount = 0;
    QString m_anchor;
    QString m_pageHtml;
    bool m_pageLoading = false;   // a page of ours is on its way into the view
    bool m_pageReloaded = false;  // and was given its one second chance
    QString m_appFolder;
    std::unique_ptr<QTemporaryFile> m_pageFile;
    SavePathChooser m_chooseSavePath;
    FileOpener m_openFile;
};
