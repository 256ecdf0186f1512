#include "views/BubbleWebPage.h"

#include <QWebEngineSettings>

namespace {

// The page itself is loaded from a data URL, a local file or about:blank.
bool isLocalScheme(const QUrl &url)
{
    const QString scheme = url.scheme();
    return scheme == QLatin1String("data") || scheme == QLatin1String("file")
        || scheme == QLatin1String("about");
}

} // namespace

BubbleWebPage::BubbleWebPage(QObject *parent)
    : QWebEnginePage(parent)
{
    QWebEngineSettings *config = settings();
    config->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    config->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    config->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    config->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    config->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    config->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    config->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    config->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
}

bool BubbleWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    Q_UNUSED(isMainFrame);
    if (type == NavigationTypeLinkClicked) {
        // Reported after this refusal has been processed: a receiver that
        // loads another page from here would otherwise see that load
        // cancelled along with the refused one.
        QMetaObject::invokeMethod(
            this, [this, url] { emit linkClicked(url); }, Qt::QueuedConnection);
        return false;
    }
    return isLocalScheme(url);
}
