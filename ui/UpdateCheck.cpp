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

#include <memory>

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
    return file.open(QIODevice::ReadOnly) ? file.read(UpdateCheck::kMaxAnswerBytes) : QByteArray();
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

void readUpToLimit(QNetworkReply &reply, QByteArray &body)
{
    const qsizetype room = UpdateCheck::kMaxAnswerBytes - body.size();
    if (room > 0 && reply.isOpen())  // an aborted reply is closed
        body.append(reply.read(room));
}

bool isFull(const QByteArray &body)
{
    return body.size() >= UpdateCheck::kMaxAnswerBytes;
}

// A 200 whose body arrived whole, or filled the limit (the transfer was then
// stopped on purpose). A body cut short by the network is a different answer
// than the server meant to give.
bool isUsableAnswer(const QNetworkReply &reply, const QByteArray &body)
{
    return statusOf(&reply) == 200 && (reply.error() == QNetworkReply::NoError || isFull(body));
}

// Plain HTTP can be redirected by anyone on the way: an address on another
// host is offered only when it is fetched over https.
bool isTrustedDownload(const QUrl &url)
{
    if (url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
        return true;
    const QString vendorHost = vendorUrl(QStringLiteral("/")).host();
    return !vendorHost.isEmpty() && url.host().compare(vendorHost, Qt::CaseInsensitive) == 0;
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
    get(QStringLiteral("/sms_check_update.php?pid=%1&ver=%2&q=1").arg(pid).arg(AppInfo::kVersionCode),
        &UpdateCheck::onUpdateAnswer);
    get(QStringLiteral("/adv.php?pid=%1").arg(pid), &UpdateCheck::onAdvertisementAnswer);
}

void UpdateCheck::get(const QString &pathAndQuery, AnswerHandler handler)
{
    QNetworkRequest request(vendorUrl(pathAndQuery));
    // A server that accepts the connection and never answers must not keep
    // the reply for the rest of the session.
    request.setTransferTimeout(m_timeoutMs);
    ++m_pending;
    QNetworkReply *reply = m_network->get(request);
    // The body is taken as it arrives and never beyond the limit; the reply's
    // own buffer is bounded as well, and a full body ends the transfer.
    reply->setReadBufferSize(kMaxAnswerBytes);
    auto body = std::make_shared<QByteArray>();
    connect(reply, &QNetworkReply::readyRead, this, [reply, body] {
        readUpToLimit(*reply, *body);
        if (isFull(*body))
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, body, handler] {
        readUpToLimit(*reply, *body);
        (this->*handler)(reply, isUsableAnswer(*reply, *body) ? *body : QByteArray());
    });
}

void UpdateCheck::onUpdateAnswer(QNetworkReply *reply, const QByteArray &body)
{
    // Any answer, even an error page, counts as asked for today; no answer
    // at all (no network) leaves the question for the next start.
    if (hasStatus(reply))
        writeDataFile(kThrottleFile, QByteArray::number(QDateTime::currentSecsSinceEpoch()));
    const QUrl download = downloadAddress(body);
    requestEnded(reply);
    if (!download.isEmpty())
        emit newVersionAvailable(download);
}

void UpdateCheck::onAdvertisementAnswer(QNetworkReply *reply, const QByteArray &body)
{
    const QString line = advertisementLine(body);
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
    return isWebAddress(url) && isTrustedDownload(url) ? url : QUrl();
}

QString UpdateCheck::cachedAdvertisementLine()
{
    return advertisementLine(readDataFile(kAdvertisementFile));
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
