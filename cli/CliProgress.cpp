#include "cli/CliProgress.h"

#include <QRegularExpression>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kBarWidth = 30;
constexpr int kLineWidth = 79;

void writeToStderr(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

QString CliProgress::plainText(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("<br\\s*/?>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("</?[A-Za-z][A-Za-z0-9]*(\\s[^<>]*)?/?>"));
    QString plain = text;
    plain.replace(lineBreak, QStringLiteral(" ")).remove(tag);
    plain.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&nbsp;"), QLatin1String(" "))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return plain.simplified();
}

CliProgress::CliProgress(QObject *parent)
    : QObject(parent)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{
    connect(&m_reporter, &HeadlessProgress::progressReported, this, &CliProgress::showProgress);
    connect(&m_reporter, &HeadlessProgress::tipShown, this, &CliProgress::showTip);
}

CliProgress::~CliProgress()
{
    finishLine();
}

void CliProgress::finishLine()
{
    if (m_barShown)
        writeToStderr(QStringLiteral("\n"));
    m_barShown = false;
}

QString CliProgress::barLine() const
{
    const int value = qBound(0, m_reporter.value(), 100);
    const int filled = value * kBarWidth / 100;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('.'));
    // Without a text of its own the dialog shows the percentage, which the bar shows already.
    const QString ownPercentage = QStringLiteral("Progress:%1%").arg(m_reporter.value());
    const QString text = m_reporter.progressText() == ownPercentage ? QString() : m_reporter.progressText();
    QString line = QStringLiteral("[%1] %2% %3 %4")
                       .arg(bar)
                       .arg(value, 3)
                       .arg(plainText(m_reporter.status()), plainText(text));
    line.truncate(kLineWidth);
    return line.leftJustified(kLineWidth);
}

void CliProgress::showProgress()
{
    if (m_terminal) {
        writeToStderr(QLatin1Char('\r') + barLine());
        m_barShown = true;
        return;
    }
    const QString line = QStringLiteral("%1% %2").arg(m_reporter.value()).arg(plainText(m_reporter.status()));
    if (line == m_lastPlain)
        return;
    m_lastPlain = line;
    writeLine(line);
}

void CliProgress::showTip(const QString &tip)
{
    writeLine(plainText(tip));
}

void CliProgress::writeLine(const QString &line)
{
    finishLine();
    writeToStderr(line + QLatin1Char('\n'));
}
