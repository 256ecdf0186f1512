#pragma once

#include <QString>

// Pieces of the chat-bubble markup, shared by the conversation view and the
// HTML export. Everything here is XHTML; texts from messages are escaped.

// Message text as bubble content: "&", "<" and ">" escaped, line breaks as
// <br/>, emoji as <img src="emoji/KEY.png" />. Characters XML does not allow
// (C0 controls other than tab, line feed and carriage return, U+FFFE, U+FFFF)
// are dropped so that the page stays well-formed.
QString textToBubbleHtml(const QString &text);

// One bubble: bb2 (sent, right) or bb1 (received, left) with its nine
// background cells around `content` (already HTML). A non-empty `name` (plain
// text) is shown above the bubble. The bubble takes the direction of its
// text (right-to-left scripts read right to left), and a non-empty
// `spokenLabel` (plain text: who wrote it and when) is what a screen reader
// announces before the content.
QString bubbleDiv(const QString &content, bool sent, const QString &name, const QString &spokenLabel = QString());

// A picture linking to a file: the picture at `picturePath`, or
// "bubble/empty_photo.jpg" when that file does not exist. `attributes` is
// written into the img element verbatim (program text only); `alt` (plain
// text) says what the picture is to those who cannot see it.
QString imageLink(const QString &targetPath, const QString &picturePath, const QString &attributes,
                  const QString &alt);
// The same from a link and a picture source already made (URLs or relative
// paths, plain text).
QString linkedPicture(const QString &href, const QString &source, const QString &attributes, const QString &alt);

// The file URL of a local path, as text.
QString fileUrlText(const QString &path);

// A text escaped for an XML attribute value or element content.
QString xmlEscaped(const QString &text);
