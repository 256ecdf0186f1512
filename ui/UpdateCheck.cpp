#include "ui/UpdateCheck.h"

#include "app/AppFolders.h"
#include "app/AppInfo.h"
#include "app/VendorServer.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace {

const QLatin1String kThrottleFile("last-check-version-time");
const QLatin1String kAdvertisementFile("last-adv");
const QLatin1String kLinkColour("#3894BC");

QString dataFilePath(const QString &name)
{
    return dataRootDir().absoluteFilePath(name);
}

// Unwritable files are ignored: the worst outcome is one more question tomorrow.
void writeDataFile(const QString &name, const QByteArray &content)
{
    QFile file(dataFilePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

QByteArray readDataFile(const QString &name)
{
    QFile file(dataFilePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool hasStatus(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

int statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace

UpdateCheck::UpdateCheck(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
}

bool UpdateCheck::isDue(qint64 nowSecs)
{
    bool ok = false;
    const qint64 last = readDataFile(kThrottleFile).trimmed().toLongLong(&ok);
    return !ok || last == 0 || last > nowSecs || nowSecs - last > kThrottleSeconds;
}

void UpdateCheck::start()
{
    if (vendorUrl(QStringLiteral("/")).isEmpty() || !isDue(QDateTime::currentSecsSinceEpoch()))
        return;
    const QString pid = QLatin1String(AppInfo::kProductId);
    QNetworkReply *update = get(QStringLiteral("/sms_check_update.php?pid=%1&ver=%2&q=1").arg(pid).arg(AppInfo::kVersionCode));
    connect(update, &QNetworkReply::finished, this, [this, update] { onUpdateAnswer(update); });
    QNetworkReply *advertisement = get(QStringLiteral("/adv.php?pid=%1").arg(pid));
    connect(advertisement, &QNetworkReply::finished, this, [this, advertisement] { onAdvertisementAnswer(advertisement); });
}

QNetworkReply *UpdateCheck::get(const QString &pathAndQuery)
{
    QNetworkRequest request(vendorUrl(pathAndQuery));
    // A server that accepts the connection and never answers must not keep
    // the reply for the rest of the session.
    request.setTransferTimeout(m_timeoutMs);
    ++m_pending;
    return m_network->get(request);
}

void UpdateCheck::onUpdateAnswer(QNetworkReply *reply)
{
    // Any answer, even an error page, counts as asked for today; no answer
    // at all (no network) leaves the question for the next start.
    if (hasStatus(reply))
        writeDataFile(kThrottleFile, QByteArray::number(QDateTime::currentSecsSinceEpoch()));
    const QUrl download = statusOf(reply) == 200 ? downloadAddress(reply->readAll()) : QUrl();
    requestEnded(reply);
    if (!download.isEmpty())
        emit newVersionAvailable(download);
}

void UpdateCheck::onAdvertisementAnswer(QNetworkReply *reply)
{
    const QString line = statusOf(reply) == 200 ? advertisementLine(reply->readAll()) : QString();
    if (!line.isEmpty())
        writeDataFile(kAdvertisementFile, line.toUtf8());
    requestEnded(reply);
    if (!line.isEmpty())
        emit advertisementChanged(line);
}

void UpdateCheck::requestEnded(QNetworkReply *reply)
{
    reply->deleteLater();
    if (--m_pending == 0)
        emit finished();
}

QUrl UpdateCheck::downloadAddress(const QByteArray &body)
{
    const qsizetype nul = body.indexOf('\0');
    const QString text = QString::fromLatin1(nul < 0 ? body : body.left(nul)).trimmed();
    if (!text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        && !text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return {};
    const QUrl url(text, QUrl::StrictMode);
    return isWebAddress(url) ? url : QUrl();
}

QString UpdateCheck::advertisementLine(const QByteArray &body)
{
    static const QRegularExpression anchor(
        QStringLiteral("^<a\\s[^>]*?\\bhref\\s*=\\s*([\"'])([^\"'<>]*)\\1[^>]*>(.*?)</a\\s*>\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>|[<>]"));
    const QRegularExpressionMatch match = anchor.match(QString::fromUtf8(body));
    if (!match.hasMatch())
        return {};
    QString address = match.captured(2);
    address.replace(QLatin1String("&amp;"), QLatin1String("&"));
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!isWebAddress(url))
        return {};
    // The text keeps its entities; tags are dropped so it cannot carry
    // pictures, further links or styles of its own.
    const QString text = match.captured(3).remove(tag).trimmed();
    if (text.isEmpty())
        return {};
    return QStringLiteral("<a style=\"color:%1;text-decoration:none;\" href=\"%2\">%3</a>")
        .arg(kLinkColour, url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text);
}
