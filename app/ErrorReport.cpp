#include "app/ErrorReport.h"

#include "app/AppInfo.h"
#include "app/VendorServer.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>

namespace {

// A server that accepts the connection and never answers must not keep the
// reply alive for the rest of the session.
constexpr int kReportTimeoutMs = 30000;

int g_inFlight = 0;

// One manager for the whole process, owned by the application object so that it
// and any unfinished reply go away with the application. Recreated if a new
// application object appears (as in tests).
QNetworkAccessManager *reportManager()
{
    static QPointer<QNetworkAccessManager> manager;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    if (!manager)
        manager = new QNetworkAccessManager(app);
    return manager;
}

void releaseWhenFinished(QNetworkReply *reply)
{
    ++g_inFlight;
    // Counted down on destruction so a reply torn down with the manager at exit
    // still balances the count.
    QObject::connect(reply, &QObject::destroyed, [] { --g_inFlight; });
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

} // namespace

QString toReportBase64(const QString &text)
{
    QString encoded = QString::fromLatin1(text.toUtf8().toBase64());
    encoded.replace(QLatin1Char('/'), QLatin1Char('!'));
    encoded.replace(QLatin1Char('='), QLatin1Char('-'));
    return encoded;
}

QString cleanReportText(const QString &text)
{
    static const QRegularExpression lineBreakTag(QStringLiteral("< *br */?>"),
                                                 QRegularExpression::CaseInsensitiveOption);
    QString cleaned = text;
    cleaned.replace(lineBreakTag, QStringLiteral("\r\n"));
    cleaned.replace(QLatin1String("&lt;"), QLatin1String("<"));
    cleaned.replace(QLatin1String("&gt;"), QLatin1String(">"));
    cleaned.replace(QLatin1String("&quot;"), QLatin1String("\""));
    cleaned.replace(QLatin1String("&amp;"), QLatin1String("&"));  // last: "&amp;lt;" means "&lt;"
    return cleaned;
}

QByteArray errorReportBody(const QString &text)
{
    const QString version = QStringLiteral("%1(%2)")
                                .arg(QLatin1String(AppInfo::kVersionText))
                                .arg(AppInfo::kVersionCode);
    const QString body = QLatin1String("prod=") + toReportBase64(AppInfo::productTitle())
        + QLatin1String("&ver=") + toReportBase64(version)
        + QLatin1String("&err=") + toReportBase64(cleanReportText(text));
    return body.toUtf8();
}

void sendErrorReport(const QString &text)
{
    const QUrl url = vendorUrl(QStringLiteral("/err_report.php"));
    if (url.isEmpty())
        return;
    QNetworkAccessManager *manager = reportManager();
    if (!manager)
        return;

    // QNetworkAccessManager writes the Host header itself from the URL: the host
    // name, with ":port" only when the port is not 80.
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(kReportTimeoutMs);
    releaseWhenFinished(manager->post(request, errorReportBody(text)));
}

int errorReportsInFlight()
{
    return g_inFlight;
}
