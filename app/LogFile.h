#pragma once

#include <QString>

// The diagnostic log: one file "log-yyyyMMdd.txt" per start-up day in `folder`.
// Removes the oldest files so that at most `keep` remain, then installs a
// process-wide Qt message handler. Lines from several threads never interleave.
void startLog(const QString &folder, int keep);

// The line written for one message, e.g. "(W 09:05:07) text\n". Exposed for tests.
QByteArray formatLogLine(QtMsgType type, const QString &time, const QString &text);

// Only for tests: close the file and uninstall the handler.
void stopLogForTests();
