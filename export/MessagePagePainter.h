#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class _MsgAttachment;
class _MsgMessage;

// Draws messages onto pages (a printer or a PDF file) as a chat transcript
// that looks like the conversation view: date lines, sender names, and
// bubbles made of the nine-part bubble pictures, with pictures and contact
// cards inside image bubbles. One object per drawing run:
// beginPages, drawMessage for each message in order, endPages.
//
// Works on any thread (it paints on the device and on images only).
class MessagePagePainter
{
public:
    static const QColor kBackground;  // content area, bubble images, cards
    static const QColor kGreyPen;     // page numbers, dates, names, system events

    // `dataFolder` holds the "bubble" pictures.
    explicit MessagePagePainter(const QString &dataFolder);
    MessagePagePainter(const MessagePagePainter &) = delete;
    MessagePagePainter &operator=(const MessagePagePainter &) = delete;

    // Starts painting on `device`; false (and nothing is drawn) when the
    // device cannot be painted on.
    bool beginPages(QPagedPaintDevice &device);
    // Starts a new page unless `height` fits below the cursor.
    void ensureSpace(int height);
    // Starts a new page now.
    void breakPage();
    void drawMessage(const _MsgMessage &message);
    // Word-wrapped text across the content width, on as many lines as it
    // needs, in `pen` (grey, as dates and names, when none is given).
    void drawParagraph(const QString &text, int pointSize, Qt::Alignment alignment, const QColor &pen = QColor());
    // A short grey line at the left, where a group's sender names go.
    void drawNameLine(const QString &name);
    // With a total, every page says "Page X of Y" instead of its number alone;
    // set it before beginPages.
    void setPageCount(int total) { m_pageCount = total; }
    // Finishes the last page (and so the PDF file).
    void endPages();

    QRect contentRect() const { return m_contentRect; }
    int cursorY() const { return m_cursorY; }
    int pageNumber() const { return m_pageNumber; }

    // A bubble holding word-wrapped text at most `maxWidth` wide.
    QImage makeTextBubble(const QString &text, int maxWidth, bool sent) const;
    // A bubble holding a picture; a null picture gives a null image.
    QImage makeImageBubble(const QImage &picture, bool sent) const;
    // The nine bubble pictures of one direction scaled over `rect`.
    void drawNineSlice(QPainter &painter, const QRect &rect, bool sent) const;

private:
    void startPage();
    void drawPageNumber();
    void drawSystemEvent(const _MsgMessage &message);
    void drawDateLine(qint64 unixSeconds);
    void placeBubble(const QImage &bubble, bool sent);
    // Text bubbles never taller than a page: a long text is cut at line
    // breaks into several bubbles, so nothing runs off the page's end.
    void placeTextBubbles(const QString &text, bool sent);
    QStringList pagePieces(const QString &text, int maxWidth) const;
    void placeAttachment(const _MsgAttachment &attachment, bool sent);
    void placeTextBubble(const QString &text, bool sent);

    // A text bubble's size and where its text goes inside it.
    struct TextBubbleShape
    {
        QSize size;
        QRectF textRect;
    };
    TextBubbleShape textBubbleShape(const QString &text, int maxWidth, bool sent) const;
    QImage bubbleBackground(const QSize &size, bool sent) const;
    // The application font at 12 points, taken once.
    static const QFont &bubbleFont();
    QImage loadPicture(const QString &path) const;
    QImage newBubbleImage(int width, int height) const;
    QFont pageFont(int pointSize) const;

    QString m_dataFolder;
    QPagedPaintDevice *m_device = nullptr;
    QPainter m_painter;
    QRect m_contentRect;
    int m_cursorY = 0;
    int m_pageNumber = 0;
    int m_pageCount = 0;  // none: pages show their number alone
    qint64 m_lastDateShown = 0;
    int m_dpi = 96;  // the device's, so that bubble text has the page's size
};
