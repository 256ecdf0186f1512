#pragma once

#include <QString>
#include <QUrl>

// Address of a page on the vendor's web server, e.g. vendorUrl("/adv.php?pid=...").
// The host comes from AppInfo::vendorHost() ("host" or "host:port", port 80 when
// none is given). Returns an empty QUrl when no host is configured or the setting
// is not a plain host[:port], so callers can simply skip the request.
QUrl vendorUrl(const QString &pathAndQuery);
