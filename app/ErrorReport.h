#pragma once

#include <QByteArray>
#include <QString>

// The error report that every error box posts to the vendor's web server as
// "POST /err_report.php" with a form-encoded body of three Base64 values.

// Base64 of the UTF-8 bytes with "/" turned into "!" and "=" into "-", so a
// value never holds a character that is special in a form body.
QString toReportBase64(const QString &text);

// The report text as sent: line-break tags become CRLF and the entities
// richTextFromPlain() writes become their characters again.
QString cleanReportText(const QString &text);

// "prod=...&ver=...&err=..." for `text`, UTF-8 encoded.
QByteArray errorReportBody(const QString &text);

// Posts one report and returns at once; the answer is ignored and a failure is
// dropped silently. Does nothing when no vendor host is configured or when there
// is no application object. GUI thread only.
void sendErrorReport(const QString &text);

// Reports posted but not yet finished; lets tests see that replies are released.
int errorReportsInFlight();
