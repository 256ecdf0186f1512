#include "export/MessagePagePainter.h"

#include "store/AppleTime.h"
#include "store/AttachmentBody.h"
#include "store/EmojiScanner.h"
#include "store/MessageOrder.h"
#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgMessage.h"
#include "views/ContactCard.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPagedPaintDevice>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <array>
#include <memory>

namespace {

constexpr int kPagePointSize = 12;
constexpr int kSystemEventPointSize = 10;
constexpr int kBubbleTextPointSize = 12;
constexpr qint64 kDateLineGapSeconds = 60;
constexpr int kDateLineHeight = 22;
constexpr int kDateLineStep = 24;
constexpr int kNameLineHeight = 18;
constexpr int kNameLineStep = 19;
constexpr int kNameIndent = 25;
constexpr int kBubbleGap = 10;
constexpr int kSystemEventGap = 8;
constexpr int kPageNumberGap = 2;
constexpr int kPageNumberHeight = 18;
constexpr double kTextBubbleShare = 0.8;
constexpr int kMinBubbleWidth = 90;
constexpr int kMinBubbleHeight = 52;
constexpr int kBubbleTextTop = 10;  // and bottom: the text's distance from the bubble's edge
// Below these a text bubble surely fits on a page (about 30 lines at most).
constexpr qsizetype kSurelyShortText = 256;
constexpr qsizetype kSurelyShortLines = 16;
// Longest text part printed; a bigger file would only fill pages with noise.
constexpr qint64 kMaxTextPartBytes = 1024 * 1024;

// Border sizes of the bubble pictures, in pixels.
struct Borders
{
    int top, right, bottom, left;
};
constexpr Borders kSentBorders{27, 41, 25, 29};
constexpr Borders kReceivedBorders{28, 29, 24, 40};

int contentLeft(bool sent)
{
    return sent ? 20 : 30;
}

// The nine pictures of both directions, loaded once per data folder and kept
// for the program's life; shared by the print preview and export threads.
struct BubblePictures
{
    std::array<QImage, 9> sent;
    std::array<QImage, 9> received;
    QImage placeholder;
};

const BubblePictures &bubblePictures(const QString &dataFolder)
{
    static QMutex lock;
    static QHash<QString, std::shared_ptr<const BubblePictures>> loaded;
    QMutexLocker locker(&lock);
    std::shared_ptr<const BubblePictures> &slot = loaded[dataFolder];
    if (!slot) {
        auto pictures = std::make_shared<BubblePictures>();
        const QDir bubble(QDir(dataFolder).absoluteFilePath(QStringLiteral("bubble")));
        for (int i = 0; i < 9; ++i) {
            pictures->sent[i].load(bubble.absoluteFilePath(QStringLiteral("bb2_0%1.png").arg(i + 1)));
            pictures->received[i].load(bubble.absoluteFilePath(QStringLiteral("bb1_0%1.png").arg(i + 1)));
        }
        pictures->placeholder.load(bubble.absoluteFilePath(QStringLiteral("empty_photo.jpg")));
        slot = std::move(pictures);
    }
    return *slot;
}

QFont bubbleTextFont()
{
    QFont font = QGuiApplication::font();
    font.setPointSize(kBubbleTextPointSize);
    return font;
}

QTextOption bubbleTextOption()
{
    // Words wrap at spaces; a word longer than the line (a link) is broken
    // instead of running out of the bubble.
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// Paper shows no emoji pictures: each becomes a mark.
QString bodyText(const _MsgMessage &message)
{
    return replaceEmoji(bubbleText(message), [](const QString &) { return QStringLiteral("[EMOJI]"); });
}

// The file's text up to its first NUL byte; nothing when it cannot be read.
std::optional<QString> textPart(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(kMaxTextPartBytes);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromUtf8(bytes);
}

} // namespace

const QColor MessagePagePainter::kBackground(219, 226, 237);
const QColor MessagePagePainter::kGreyPen(146, 146, 165);

MessagePagePainter::MessagePagePainter(const QString &dataFolder)
    : m_dataFolder(dataFolder)
{
}

QFont MessagePagePainter::pageFont(int pointSize) const
{
    QFont font = QGuiApplication::font();
    font.setPointSize(pointSize);
    return font;
}

bool MessagePagePainter::beginPages(QPagedPaintDevice &device)
{
    // The margins count once more inside the printable area, in device
    // units, which leaves room for the page number below the content.
    const QMarginsF margins = device.pageLayout().margins(QPageLayout::Point);
    m_contentRect = QRect(int(margins.left()), int(margins.top()),
                          int(device.width() - margins.left() - margins.right()),
                          int(device.height() - margins.top() - margins.bottom()));
    m_cursorY = m_contentRect.top();
    m_pageNumber = 1;
    m_lastDateShown = 0;
    m_dpi = device.logicalDpiX();
    if (!m_painter.begin(&device))
        return false;
    m_device = &device;
    m_painter.setFont(pageFont(kPagePointSize));
    m_painter.setPen(kGreyPen);
    m_painter.fillRect(m_contentRect, kBackground);
    drawPageNumber();
    return true;
}

void MessagePagePainter::endPages()
{
    if (m_painter.isActive())
        m_painter.end();
    m_device = nullptr;
}

void MessagePagePainter::drawPageNumber()
{
    const QRect below(m_contentRect.left(), m_contentRect.bottom() + kPageNumberGap, m_contentRect.width(),
                      kPageNumberHeight);
    const QString label = m_pageCount > 0 ? QCoreApplication::translate("MessagePagePainter", "Page %1 of %2")
                                                .arg(m_pageNumber)
                                                .arg(m_pageCount)
                                          : QString::number(m_pageNumber);
    m_painter.drawText(below, Qt::AlignRight, label);
}

void MessagePagePainter::breakPage()
{
    if (m_device)
        startPage();
}

void MessagePagePainter::startPage()
{
    m_device->newPage();
    m_painter.fillRect(m_contentRect, kBackground);
    m_cursorY = m_contentRect.top();
    ++m_pageNumber;
    drawPageNumber();
}

void MessagePagePainter::ensureSpace(int height)
{
    if (!m_device)
        return;
    const int room = m_contentRect.bottom() + 1 - m_cursorY;
    // On a fresh page a taller item is drawn anyway: another page would not
    // be any larger.
    if (room >= height || m_cursorY == m_contentRect.top())
        return;
    startPage();
}

void MessagePagePainter::drawMessage(const _MsgMessage &message)
{
    if (!m_device)
        return;
    if (message.item_type != _MsgMessage::ItemOrdinary) {
        drawSystemEvent(message);
        return;
    }
    const qint64 unixSeconds = qint64(message.date) + kAppleEpochUnixSeconds;
    if (unixSeconds - m_lastDateShown > kDateLineGapSeconds)
        drawDateLine(unixSeconds);

    const QString name = groupSenderName(message);
    const bool sent = message.is_from_me != 0;
    const QString body = bodyText(message);
    if (!body.isEmpty() || message.attachments.isEmpty()) {
        drawNameLine(name);
        placeTextBubbles(body, sent);
    }
    for (const _MsgAttachment *attachment : sortedAttachments(message)) {
        drawNameLine(name);
        placeAttachment(*attachment, sent);
    }
}

void MessagePagePainter::drawSystemEvent(const _MsgMessage &message)
{
    drawParagraph(messagePlainText(message), kSystemEventPointSize, Qt::AlignHCenter);
}

void MessagePagePainter::drawParagraph(const QString &text, int pointSize, Qt::Alignment alignment,
                                       const QColor &pen)
{
    if (!m_device)
        return;
    m_painter.setFont(pageFont(pointSize));
    const QRect measureArea(m_contentRect.left(), 0, m_contentRect.width(), 1 << 20);
    const int height = m_painter.boundingRect(measureArea, Qt::TextWordWrap | alignment, text).height();
    ensureSpace(height + kSystemEventGap);
    m_painter.setPen(pen.isValid() ? pen : kGreyPen);
    m_painter.drawText(QRect(m_contentRect.left(), m_cursorY, m_contentRect.width(), height),
                       Qt::TextWordWrap | alignment, text);
    m_cursorY += height + kSystemEventGap;
    m_painter.setPen(kGreyPen);
    m_painter.setFont(pageFont(kPagePointSize));
}

void MessagePagePainter::drawDateLine(qint64 unixSeconds)
{
    m_lastDateShown = unixSeconds;
    ensureSpace(kDateLineStep);
    const QString date = readableDateTime(QDateTime::fromSecsSinceEpoch(unixSeconds));
    m_painter.drawText(QRect(m_contentRect.left(), m_cursorY, m_contentRect.width(), kDateLineHeight),
                       Qt::AlignHCenter, date);
    m_cursorY += kDateLineStep;
}

void MessagePagePainter::drawNameLine(const QString &name)
{
    if (name.isEmpty())
        return;
    ensureSpace(kNameLineStep);
    m_painter.drawText(QRect(m_contentRect.left() + kNameIndent, m_cursorY, m_contentRect.width() - 2 * kNameIndent,
                             kNameLineHeight),
                       Qt::AlignLeft, name);
    m_cursorY += kNameLineStep;
}

void MessagePagePainter::placeBubble(const QImage &bubble, bool sent)
{
    if (bubble.isNull()) {
        m_cursorY += kBubbleGap;
        return;
    }
    ensureSpace(bubble.height());
    const int x = sent ? m_contentRect.right() - bubble.width() : m_contentRect.left();
    m_painter.drawImage(QPoint(x, m_cursorY), bubble);
    m_cursorY += bubble.height() + kBubbleGap;
}

void MessagePagePainter::placeTextBubbles(const QString &text, bool sent)
{
    const int maxWidth = int(m_contentRect.width() * kTextBubbleShare);
    for (const QString &piece : pagePieces(text, maxWidth))
        placeTextBubble(piece, sent);
}

QStringList MessagePagePainter::pagePieces(const QString &text, int maxWidth) const
{
    // Short texts cannot fill a page: no layout needed.
    if (text.size() < kSurelyShortText && text.count(QLatin1Char('\n')) < kSurelyShortLines)
        return {text};
    const int maxTextHeight = m_contentRect.height() - 2 * kBubbleTextTop - 1;
    QString laidOut = text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QImage scratch = newBubbleImage(1, 1);
    QTextLayout layout(laidOut, bubbleFont(), &scratch);
    layout.setTextOption(bubbleTextOption());
    QStringList pieces;
    qsizetype pieceStart = 0;
    qreal pieceTop = 0;
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, maxWidth - 50));
        line.setPosition(QPointF(0, y));
        if (y + line.height() - pieceTop > maxTextHeight && line.textStart() > pieceStart) {
            pieces << laidOut.mid(pieceStart, line.textStart() - pieceStart);
            pieceStart = line.textStart();
            pieceTop = y;
        }
        y += line.height();
    }
    layout.endLayout();
    pieces << laidOut.mid(pieceStart);
    return pieces;
}

QImage MessagePagePainter::loadPicture(const QString &path) const
{
    QImage picture;
    if (!path.isEmpty() && (picture.load(path, "JPEG") || picture.load(path, "PNG")))
        return picture;
    return bubblePictures(m_dataFolder).placeholder;
}

void MessagePagePainter::placeAttachment(const _MsgAttachment &attachment, bool sent)
{
    if (mimeStartsWith(attachment, QLatin1String("image/"))) {
        placeBubble(makeImageBubble(loadPicture(attachmentThumbnail(attachment)), sent), sent);
    } else if (mimeStartsWith(attachment, QLatin1String("video/"))) {
        placeTextBubbles(QStringLiteral("[VIDEO]"), sent);
    } else if (mimeStartsWith(attachment, QLatin1String("audio/"))) {
        placeTextBubbles(QStringLiteral("[AUDIO]"), sent);
    } else if (mimeIs(attachment, QLatin1String("text/x-vCard")) || mimeIs(attachment, QLatin1String("text/vcard"))) {
        const QString card = attachment.localPath.isEmpty() ? QString() : renderContactCard(attachment.localPath);
        if (!card.isEmpty() && QFileInfo(card).isFile())
            placeBubble(makeImageBubble(loadPicture(card), sent), sent);
        else
            placeTextBubbles(QStringLiteral("[VCARD]"), sent);
    } else if (mimeIs(attachment, QLatin1String("text/plain"))) {
        if (const std::optional<QString> text = textPart(attachment.localPath))
            placeTextBubbles(*text, sent);
        else
            placeBubble(QImage(), sent);
    } else {
        placeTextBubbles(QStringLiteral("[ATTACHMENT]"), sent);
    }
}

QImage MessagePagePainter::newBubbleImage(int width, int height) const
{
    QImage image(width, height, QImage::Format_ARGB32);
    const int dotsPerMeter = qRound(m_dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(kBackground);
    return image;
}

MessagePagePainter::TextBubbleShape MessagePagePainter::textBubbleShape(const QString &text, int maxWidth,
                                                                       bool sent) const
{
    const int x0 = contentLeft(sent);
    QImage scratch = newBubbleImage(1, 1);
    QPainter measure(&scratch);
    measure.setFont(bubbleFont());
    QRectF textRect = measure.boundingRect(QRectF(x0, kBubbleTextTop, std::max(1, maxWidth - 50), 1 << 20), text,
                                           bubbleTextOption());
    textRect.moveTopLeft(QPointF(x0, kBubbleTextTop));
    const int width = std::max(kMinBubbleWidth, int(std::ceil(textRect.width())) + 50);
    const int height = std::max(kMinBubbleHeight, int(std::ceil(textRect.height())) + 2 * kBubbleTextTop);
    return {QSize(width, height), textRect};
}

QImage MessagePagePainter::bubbleBackground(const QSize &size, bool sent) const
{
    QImage bubble = newBubbleImage(size.width(), size.height());
    QPainter painter(&bubble);
    drawNineSlice(painter, QRect(QPoint(0, 0), size), sent);
    return bubble;
}

const QFont &MessagePagePainter::bubbleFont()
{
    static const QFont font = bubbleTextFont();
    return font;
}

QImage MessagePagePainter::makeTextBubble(const QString &text, int maxWidth, bool sent) const
{
    const TextBubbleShape shape = textBubbleShape(text, maxWidth, sent);
    QImage bubble = bubbleBackground(shape.size, sent);
    QPainter painter(&bubble);
    painter.setFont(bubbleFont());
    painter.setPen(Qt::black);
    painter.drawText(shape.textRect, text, bubbleTextOption());
    return bubble;
}

void MessagePagePainter::placeTextBubble(const QString &text, bool sent)
{
    // The picture is the bubble only; the text goes onto the page itself, so
    // a printer prints it at its own resolution and a PDF keeps it as text
    // that can be searched and copied.
    const TextBubbleShape shape = textBubbleShape(text, int(m_contentRect.width() * kTextBubbleShare), sent);
    ensureSpace(shape.size.height());
    const QPoint at(sent ? m_contentRect.right() - shape.size.width() : m_contentRect.left(), m_cursorY);
    m_painter.drawImage(at, bubbleBackground(shape.size, sent));
    m_painter.save();
    m_painter.setFont(bubbleFont());
    m_painter.setPen(Qt::black);
    m_painter.drawText(shape.textRect.translated(at), text, bubbleTextOption());
    m_painter.restore();
    m_cursorY += shape.size.height() + kBubbleGap;
}

QImage MessagePagePainter::makeImageBubble(const QImage &picture, bool sent) const
{
    if (picture.isNull())
        return picture;
    const int width = std::max(kMinBubbleWidth, picture.width() + 50);
    const int height = std::max(kMinBubbleHeight, picture.height() + 30);
    QImage bubble = newBubbleImage(width, height);
    QPainter painter(&bubble);
    drawNineSlice(painter, QRect(0, 0, width, height), sent);
    // At its own size, in the middle of the bubble's inner height.
    painter.drawImage(QPoint(contentLeft(sent), (height - picture.height()) / 2), picture);
    return bubble;
}

void MessagePagePainter::drawNineSlice(QPainter &painter, const QRect &rect, bool sent) const
{
    const BubblePictures &pictures = bubblePictures(m_dataFolder);
    const std::array<QImage, 9> &pieces = sent ? pictures.sent : pictures.received;
    const Borders b = sent ? kSentBorders : kReceivedBorders;
    const int x1 = rect.left(), y1 = rect.top(), x2 = rect.right(), y2 = rect.bottom();
    // Column and row bounds (inclusive); the last column and row stay background.
    const int xs[3][2] = {{x1, x1 + b.left - 1}, {x1 + b.left, x2 - b.right}, {x2 - b.right, x2 - 1}};
    const int ys[3][2] = {{y1, y1 + b.top - 1}, {y1 + b.top, y2 - b.bottom}, {y2 - b.bottom, y2 - 1}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRect target(QPoint(xs[column][0], ys[row][0]), QPoint(xs[column][1], ys[row][1]));
            if (target.isValid())
                painter.drawImage(target, pieces[row * 3 + column]);
        }
    }
}
