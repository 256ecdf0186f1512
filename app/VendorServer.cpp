#include "app/VendorServer.h"

#include "app/AppInfo.h"

namespace {

// A host setting such as "a.com/x?y" or "user@a.com" would silently change where
// requests go; only a bare host with an optional port is accepted.
bool isPlainHostUrl(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() && url.userInfo().isEmpty()
        && (url.path().isEmpty() || url.path() == QLatin1String("/"))
        && !url.hasQuery() && !url.hasFragment();
}

} // namespace

QUrl vendorUrl(const QString &pathAndQuery)
{
    const QString host = AppInfo::vendorHost();
    if (host.isEmpty())
        return {};
    const QUrl server(QStringLiteral("http://") + host, QUrl::StrictMode);
    if (!isPlainHostUrl(server))
        return {};
    QUrl url = server;
    const qsizetype query = pathAndQuery.indexOf(QLatin1Char('?'));
    url.setPath(pathAndQuery.left(query));
    if (query >= 0)
        url.setQuery(pathAndQuery.mid(query + 1));
    return url;
}
