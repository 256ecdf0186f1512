#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// The daily questions to the vendor's web server: is there a newer version,
// and what is the advertisement line of the status bar. Both run
// asynchronously on the GUI thread with a time limit; nothing waits for them.
//
// Two files of the data root keep state across starts: "last-check-version-time"
// (seconds since 1970 of the last answer to the update check, whatever it
// said) throttles both questions to one a day, and "last-adv" keeps the last
// advertisement line shown.
//
// The advertisement comes from the network and is shown as rich text in a
// label that opens links: only a single anchor to an http(s) address is
// accepted, and it is rebuilt from its address and plain text before it is
// shown or kept. The kept line is checked the same way before it is shown
// again, since an older version kept what it received.
//
// The requests are plain HTTP: an answer is read up to kMaxAnswerBytes and
// the rest is ignored, and an answer that a network error cut short is not
// used. A download address is offered only over https or on the vendor's own
// host.
class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kThrottleSeconds = 86400;
    static constexpr int kDefaultTimeoutMs = 30000;
    static constexpr qsizetype kMaxAnswerBytes = 64 * 1024;

    explicit UpdateCheck(QObject *parent = nullptr);

    // Asks both questions when due; does nothing when no vendor host is
    // configured. Returns at once.
    void start();
    // Whether the last answer is missing, unreadable, zero, more than a day
    // before `nowSecs`, or after it (a clock set back must not stop the check).
    static bool isDue(qint64 nowSecs);

    // The download address an update answer names, or an empty URL when it
    // names none, or one that is neither https nor on the vendor's host.
    static QUrl downloadAddress(const QByteArray &body);
    // The status-bar line for an advertisement answer, or an empty string
    // when the answer is not a usable link.
    static QString advertisementLine(const QByteArray &body);
    // The kept advertisement line, checked as a fresh answer would be; empty
    // when none is kept or it is not a usable link.
    static QString cachedAdvertisementLine();

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Requests sent and not yet answered, failed or timed out.
    int pendingRequests() const { return m_pending; }

signals:
    void newVersionAvailable(const QUrl &download);
    void advertisementChanged(const QString &line);
    // Both requests have ended (answered, failed or timed out).
    void finished();

private:
    // Called once the request has ended, with the body when the server
    // answered 200 and the answer arrived whole (or filled the limit), else
    // with a null array.
    using AnswerHandler = void (UpdateCheck::*)(QNetworkReply *reply, const QByteArray &body);

    void get(const QString &pathAndQuery, AnswerHandler handler);
    void onUpdateAnswer(QNetworkReply *reply, const QByteArray &body);
    void onAdvertisementAnswer(QNetworkReply *reply, const QByteArray &body);
    void requestEnded(QNetworkReply *reply);

    // A child, so that it and any unfinished reply go only after this
    // object's connections are gone.
    QNetworkAccessManager *m_network;
    int m_timeoutMs = kDefaultTimeoutMs;
    int m_pending = 0;
};
