#pragma once

#include <QWebEnginePage>

// The page of the conversation pane. What it shows comes from strangers, so
// it runs no scripts, reaches no remote address and follows no link by
// itself: a clicked link is handed to the program as linkClicked(), once
// control is back in the event loop.
class BubbleWebPage : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit BubbleWebPage(QObject *parent = nullptr);

signals:
    void linkClicked(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
};
