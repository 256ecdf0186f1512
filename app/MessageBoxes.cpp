#include "app/MessageBoxes.h"

#include "app/AppInfo.h"
#include "app/ErrorReport.h"
#include "app/RichText.h"
#include "app/StyleSheet.h"
#include "app/WinMovable.h"

#include <QCoreApplication>

namespace {

MessageBoxes::Answerer &testAnswerer()
{
    static MessageBoxes::Answerer answerer;
    return answerer;
}

// Buttons always appear in this order, whatever the caller asked for first.
constexpr QMessageBox::StandardButton kButtonOrder[] = {
    QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel};

// The one body behind every box; returns the button pressed.
QMessageBox::StandardButton runMessageBox(QMessageBox::Icon icon, const QString &text,
                                          QMessageBox::StandardButtons buttons, const QString &details = QString())
{
    if (testAnswerer())
        return testAnswerer()(icon, details.isEmpty() ? text : text + QStringLiteral("<br/>") + details.toHtmlEscaped());

    QMessageBox box(icon, AppInfo::productTitle(), text);
    box.setDetailedText(details);
    // Guessing would show a text without tags literally, entities and all.
    box.setTextFormat(Qt::RichText);
    box.setStyleSheet(appStyleSheet());
    box.setWindowModality(Qt::ApplicationModal);
    const WinMovable mover(&box);
    for (const QMessageBox::StandardButton button : kButtonOrder) {
        if (buttons.testFlag(button))
            box.addButton(button);
    }
    // Adding buttons resets the box's window flags, so the frame goes last.
    box.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString errorBoxText(const QString &text)
{
    return QCoreApplication::translate("MessageBoxes",
                                       "An Error Occurred. <br/><br/>%1<br/><br/> Or you can contact")
               .arg(text)
        + QLatin1Char(' ') + AppInfo::supportEmail()
        + QCoreApplication::translate("MessageBoxes", " for help.");
}

} // namespace

void showInformation(const QString &text)
{
    runMessageBox(QMessageBox::Information, text, QMessageBox::Ok);
}

void showWarning(const QString &text)
{
    runMessageBox(QMessageBox::Warning, text, QMessageBox::Ok);
}

void showWarning(const QString &text, const QString &details)
{
    runMessageBox(QMessageBox::Warning, text, QMessageBox::Ok, details);
}

void showCritical(const QString &text)
{
    runMessageBox(QMessageBox::Critical, text, QMessageBox::Ok);
    sendErrorReport(text);
}

bool askQuestion(const QString &text)
{
    return runMessageBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void reportError(const QString &text)
{
    runMessageBox(QMessageBox::Critical, errorBoxText(text), QMessageBox::Ok);
    sendErrorReport(text);
}

void reportException(const std::exception &error)
{
    reportError(richTextFromPlain(QString::fromUtf8(error.what())));
}

namespace MessageBoxes {

void setTestAnswerer(Answerer answerer)
{
    testAnswerer() = std::move(answerer);
}

TestRecorder::TestRecorder(QMessageBox::StandardButton answer)
    : m_answer(answer)
    , m_previous(testAnswerer())
{
    setTestAnswerer([this](QMessageBox::Icon icon, const QString &text) {
        m_shown.append({icon, text});
        return m_answer;
    });
}

TestRecorder::~TestRecorder()
{
    setTestAnswerer(std::move(m_previous));
}

QString TestRecorder::lastText() const
{
    return m_shown.isEmpty() ? QString() : m_shown.constLast().text;
}

QMessageBox::Icon TestRecorder::lastIcon() const
{
    return m_shown.isEmpty() ? QMessageBox::NoIcon : m_shown.constLast().icon;
}

} // namespace MessageBoxes
