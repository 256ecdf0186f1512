#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

#include <exception>
#include <functional>

// The message boxes every window uses: modal, frameless, titled with the product
// title, carrying the application style sheet and draggable by their body.
// Every text is rich text, always shown as such (never guessed from its
// content): anything from outside enters it through richTextFromPlain().

void showInformation(const QString &text);
void showWarning(const QString &text);
// With plain `details` the box's "Show Details..." button reveals (a list,
// one item a line).
void showWarning(const QString &text, const QString &details);
// After the box is closed the text is also posted as an error report.
void showCritical(const QString &text);
// True only when the user pressed Yes.
bool askQuestion(const QString &text);
// The error box: the text framed by the standard error wording and the support
// address; after the box is closed the plain text is posted as an error report.
void reportError(const QString &text);
// reportError() with the exception's text, kept literal.
void reportException(const std::exception &error);

namespace MessageBoxes {

// Test hook. While an answerer is set no box is shown: each request calls the
// answerer with the box's icon and (formatted) text and returns its answer as if
// that button had been pressed (QMessageBox::NoButton = closed without a choice).
// Pass an empty function to show real boxes again.
using Answerer = std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString &text)>;
void setTestAnswerer(Answerer answerer);

// Convenience for tests: installs an answerer for its lifetime that records every
// box and answers with answer(); restores the previous answerer when destroyed.
//
//     MessageBoxes::TestRecorder boxes(QMessageBox::Yes);
//     window.miDeleteSel();
//     QCOMPARE(boxes.count(), 1);
//     QCOMPARE(boxes.lastIcon(), QMessageBox::Question);
class TestRecorder
{
public:
    struct Shown
    {
        QMessageBox::Icon icon;
        QString text;
    };

    explicit TestRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok);
    ~TestRecorder();
    TestRecorder(const TestRecorder &) = delete;
    TestRecorder &operator=(const TestRecorder &) = delete;

    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    const QList<Shown> &shown() const { return m_shown; }
    int count() const { return int(m_shown.size()); }
    // Text and icon of the last box; empty text and NoIcon when none was shown.
    QString lastText() const;
    QMessageBox::Icon lastIcon() const;
    void clear() { m_shown.clear(); }

private:
    QMessageBox::StandardButton m_answer;
    QList<Shown> m_shown;
    Answerer m_previous;
};

} // namespace MessageBoxes
