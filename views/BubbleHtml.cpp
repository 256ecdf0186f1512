#include "views/BubbleHtml.h"

#include "store/EmojiScanner.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace {

bool isXmlChar(QChar c)
{
    const char16_t unit = c.unicode();
    if (unit < 0x20)
        return unit == 0x09 || unit == 0x0A || unit == 0x0D;
    return unit != 0xFFFE && unit != 0xFFFF;
}

QString withoutNonXmlChars(const QString &text)
{
    if (std::all_of(text.cbegin(), text.cend(), isXmlChar))
        return text;
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (isXmlChar(c))
            kept.append(c);
    }
    return kept;
}

// The emoji itself from its picture's name ("1F1FA_1F1F8" and the like).
QString emojiText(const QString &key)
{
    static const QRegularExpression separator(QStringLiteral("[^0-9A-Fa-f]+"));
    QString text;
    for (const QString &part : key.split(separator, Qt::SkipEmptyParts)) {
        bool ok = false;
        const char32_t codePoint = part.toUInt(&ok, 16);
        if (ok)
            text += QString::fromUcs4(&codePoint, 1);
    }
    return text;
}

QString emojiPicture(const QString &key)
{
    return QStringLiteral("<img src=\"emoji/%1.png\" alt=\"%2\" />").arg(key, xmlEscaped(emojiText(key)));
}

const QString kBubbleCells = QStringLiteral(
    "<div class=\"bb_bg top_left\"></div><div class=\"bb_bg top_middle\"></div>"
    "<div class=\"bb_bg top_right\"></div><div class=\"bb_bg middle_left\"></div>"
    "<div class=\"bb_bg middle_middle\"></div><div class=\"bb_bg middle_right\"></div>"
    "<div class=\"bb_bg bottom_left\"></div><div class=\"bb_bg bottom_middle\"></div>"
    "<div class=\"bb_bg bottom_right\"></div>");

} // namespace

QString textToBubbleHtml(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r?\n"));
    // Quotes too: a stranger's text must never read as an attribute to
    // anything that scans the page markup.
    QString html = xmlEscaped(text);
    html.replace(lineBreak, QStringLiteral("<br/>"));
    return replaceEmoji(html, emojiPicture);
}

QString bubbleDiv(const QString &content, bool sent, const QString &name, const QString &spokenLabel)
{
    QString html;
    if (!name.isEmpty()) {
        html += QStringLiteral("<div class=\"ct_left\" aria-hidden=\"true\">%1</div><div class=\"clear\"></div>")
                    .arg(textToBubbleHtml(name));
    }
    html += QStringLiteral("<div class=\"%1\" dir=\"auto\"").arg(sent ? QStringLiteral("bb2") : QStringLiteral("bb1"));
    if (!spokenLabel.isEmpty())
        html += QStringLiteral(" role=\"group\" aria-label=\"%1\"").arg(xmlEscaped(spokenLabel));
    html += QLatin1Char('>');
    html += kBubbleCells;
    html += content;
    html += QStringLiteral("</div><div class=\"clear\"></div>");
    return html;
}

QString imageLink(const QString &targetPath, const QString &picturePath, const QString &attributes,
                  const QString &alt)
{
    const QString picture = !picturePath.isEmpty() && QFileInfo(picturePath).isFile()
                                ? fileUrlText(picturePath)
                                : QStringLiteral("bubble/empty_photo.jpg");
    return linkedPicture(fileUrlText(targetPath), picture, attributes, alt);
}

QString linkedPicture(const QString &href, const QString &source, const QString &attributes, const QString &alt)
{
    return QStringLiteral("<a href=\"%1\"><img src=\"%2\" alt=\"%3\" %4 /></a>")
        .arg(xmlEscaped(href), xmlEscaped(source), xmlEscaped(alt), attributes);
}

QString fileUrlText(const QString &path)
{
    return QUrl::fromLocalFile(path).toString();
}

QString xmlEscaped(const QString &text)
{
    return withoutNonXmlChars(text).toHtmlEscaped();
}
