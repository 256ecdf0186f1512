#include "views/ContactCard.h"

#include "app/AppFolders.h"
#include "app/FileErrors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>

namespace {

const QColor kCardBackground(219, 226, 237);
const QColor kCardBorder(185, 185, 187);
constexpr int kMargin = 5;
constexpr int kPhotoSize = 47;
constexpr int kTextLeft = kMargin + kPhotoSize + 1;
constexpr int kTextWidth = 190 - kTextLeft;
constexpr int kNamePixelSize = 12;
constexpr int kDetailPixelSize = 11;
constexpr int kMinPixelSize = 9;

QImage cardPhoto(const QByteArray &photo)
{
    QImage image = QImage::fromData(photo, "JPEG");
    if (image.isNull())
        image = QImage::fromData(photo, "PNG");
    if (image.isNull())
        image = QImage(QStringLiteral(":/res/contact.png"));
    return image;
}

QString titleAndOrganisation(const ContactCardInfo &info)
{
    QString text = info.title;
    if (!info.organisation.isEmpty())
        text += QLatin1Char(' ') + info.organisation;
    return text.trimmed();
}

void drawCardFrame(QPainter &painter)
{
    QPen pen(kCardBorder, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, kContactCardWidth - 1, kContactCardHeight - 1);
}

void drawPhoto(QPainter &painter, const QByteArray &photo)
{
    const QImage image = cardPhoto(photo);
    if (image.isNull())
        return;
    // Smooth scaling: the card is made once and cached, and a 47-pixel photo
    // scaled the fast way is visibly jagged.
    painter.drawImage(QPoint(kMargin, kMargin),
                      image.scaled(kPhotoSize, kPhotoSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void drawDetails(QPainter &painter, const ContactCardInfo &info)
{
    painter.setPen(Qt::black);
    QFont font = QGuiApplication::font();
    font.setPixelSize(kNamePixelSize);
    int y = kMargin;
    y += drawLabeledText(painter, font, kTextLeft, y, kTextWidth, info.name, QString(), true) + 1;

    font.setPixelSize(kDetailPixelSize);
    const auto item = [&](const QString &label, const QString &value, bool singleLine) {
        y += drawLabeledText(painter, font, kTextLeft, y, kTextWidth, label, value, singleLine) + 1;
    };
    if (!info.title.isEmpty() || !info.organisation.isEmpty())
        item(titleAndOrganisation(info), QString(), true);
    if (!info.birthday.isEmpty())
        item(QStringLiteral("Birthday:"), birthdayDisplayText(info.birthday), false);
    for (const QString &phone : info.phones.mid(0, kContactCardMaxPhones))
        item(QStringLiteral("Phone:"), phone, true);
    if (!info.email.isEmpty())
        item(QStringLiteral("E-Mail:"), info.email, true);
    if (!info.address.isEmpty())
        item(QStringLiteral("Address:"), info.address, false);
}

// A phone number or address cut short is useless, so a single-line value
// that does not fit is set a little smaller first (down to kMinPixelSize)
// and only then elided.
void fitSingleLine(QPainter &painter, QFont font, const QString &value, int width)
{
    for (int size = font.pixelSize(); size > kMinPixelSize; --size) {
        if (painter.fontMetrics().horizontalAdvance(value) <= width)
            return;
        font.setPixelSize(size - 1);
        painter.setFont(font);
    }
}

} // namespace

ContactCardInfo contactCardInfo(const VCardEntry &entry)
{
    ContactCardInfo info;
    const auto is = [](const VCardProperty &property, const char *name) {
        return property.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    for (const VCardProperty &property : entry) {
        if (is(property, "FN"))
            info.name = propertyText(property);
        else if (is(property, "BDAY"))
            info.birthday = propertyText(property);
        else if (is(property, "ADR"))
            info.address = propertyText(property);
        else if (is(property, "TEL"))
            info.phones.append(propertyText(property));
        else if (is(property, "EMAIL"))
            info.email = propertyText(property);
        else if (is(property, "TITLE"))
            info.title = propertyText(property);
        else if (is(property, "ORG"))
            info.organisation = propertyText(property);
        else if (is(property, "PHOTO"))
            info.photo = property.value;
    }
    return info;
}

// ISO 8601 extended ("1980-05-17", with or without a time) or basic
// ("19800517"); anything else is shown as written rather than dropped.
QString birthdayDisplayText(const QString &birthday)
{
    QDate date = QDateTime::fromString(birthday, Qt::ISODate).date();
    if (!date.isValid())
        date = QDate::fromString(birthday, Qt::ISODate);
    if (!date.isValid() && birthday.size() == 8)
        date = QDate::fromString(birthday, QStringLiteral("yyyyMMdd"));
    if (!date.isValid())
        return birthday;
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QImage drawContactCard(const ContactCardInfo &info)
{
    QImage card(kContactCardWidth, kContactCardHeight, QImage::Format_ARGB32_Premultiplied);
    card.fill(kCardBackground);
    QPainter painter(&card);
    drawCardFrame(painter);
    drawPhoto(painter, info.photo);
    drawDetails(painter, info);
    return card;
}

QString contactCardPath(const QString &vcardPath)
{
    return QDir(QDir::tempPath()).filePath(md5Hex(vcardPath) + QStringLiteral(".jpg"));
}

QString renderContactCard(const QString &vcardPath)
{
    const QString cardPath = contactCardPath(vcardPath);
    if (QFileInfo::exists(cardPath))
        return cardPath;

    QFile vcard(vcardPath);
    if (!vcard.open(QIODevice::ReadOnly))
        return QString();
    const QList<VCardEntry> entries = parseVCards(vcard.readAll());
    if (entries.isEmpty())
        return QString();

    // Written through a temporary file so that a reader on another thread
    // (an export running while the page renders) never sees half a card.
    const QImage card = drawContactCard(contactCardInfo(entries.first()));
    QSaveFile out(cardPath);
    if (!out.open(QIODevice::WriteOnly) || !card.save(&out, "JPEG") || !commitSaveFile(out))
        return QString();
    return cardPath;
}

int drawLabeledText(QPainter &painter, QFont font, int x, int y, int width, const QString &label,
                    const QString &value, bool singleLine)
{
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    painter.setFont(font);
    const QString shownLabel = painter.fontMetrics().elidedText(label, Qt::ElideRight, width);
    const QRect labelRect =
        painter.fontMetrics().boundingRect(QRect(x, y, width, 0), Qt::TextSingleLine, shownLabel);
    painter.drawText(labelRect, Qt::TextSingleLine, shownLabel);
    if (value.isEmpty())
        return labelRect.height();

    font.setWeight(QFont::Normal);
    font.setItalic(false);
    painter.setFont(font);
    const int valueLeft = labelRect.right() + 3;
    if (singleLine) {
        const QRect valueRect(QPoint(valueLeft, labelRect.top()), QPoint(x + width - 2, labelRect.bottom()));
        fitSingleLine(painter, font, value, valueRect.width());
        painter.drawText(valueRect, Qt::TextSingleLine | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(value, Qt::ElideRight, std::max(0, valueRect.width())));
        return labelRect.height();
    }
    // Wrapped in what is left of the column, so a long address stays on the card.
    const int valueWidth = std::max(1, x + width - valueLeft);
    const QRect valueRect = painter.fontMetrics().boundingRect(QRect(valueLeft, y, valueWidth, 0), Qt::TextWordWrap, value);
    painter.drawText(valueRect, Qt::TextWordWrap, value);
    return valueRect.height();
}
