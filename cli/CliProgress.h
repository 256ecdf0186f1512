#pragma once

#include "work/HeadlessProgress.h"

#include <QObject>
#include <QString>

// Shows a worker's progress on standard error: one redrawn bar on a terminal,
// otherwise a plain line whenever the step or the whole percentage changes,
// so logs of scripted runs stay short. Tips the worker shows (a question the
// window would ask in a message box) become lines of their own.
class CliProgress : public QObject
{
    Q_OBJECT
public:
    explicit CliProgress(QObject *parent = nullptr);
    ~CliProgress() override;

    // What the worker reports to.
    HeadlessProgress &reporter() { return m_reporter; }

    // Ends a bar left on the terminal's last line.
    void finishLine();

    // Workers write rich text for a dialog label (outside words escaped,
    // line breaks as <br/>); a terminal shows the words alone, on one line.
    static QString plainText(const QString &text);

private:
    void showProgress();
    void showTip(const QString &tip);
    void writeLine(const QString &line);
    QString barLine() const;

    HeadlessProgress m_reporter;
    bool m_terminal;
    bool m_barShown = false;
    QString m_lastPlain;
};
