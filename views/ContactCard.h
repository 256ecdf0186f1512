#pragma once

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>

#include "views/VCard.h"

class QPainter;

// The small business-card picture shown instead of a link for a contact
// attachment, in the conversation view, the HTML export and print.

constexpr int kContactCardWidth = 200;
constexpr int kContactCardHeight = 90;
constexpr int kContactCardMaxPhones = 4;

// What the card shows, taken from the first entry of a vCard.
struct ContactCardInfo
{
    QString name;
    QString birthday;
    QString address;      // ";" separators kept
    QString email;
    QString title;
    QString organisation;
    QStringList phones;   // every TEL, in file order
    QByteArray photo;     // raw image bytes
};

ContactCardInfo contactCardInfo(const VCardEntry &entry);

// BDAY as the card shows it: the date in the system's short format, or the
// text as written when it is no ISO 8601 date.
QString birthdayDisplayText(const QString &birthday);

// The 200 x 90 card.
QImage drawContactCard(const ContactCardInfo &info);

// Where the card of a vCard file is cached: the temporary folder, named by
// the MD5 of the vCard path.
QString contactCardPath(const QString &vcardPath);

// Path of the card picture for a vCard file, made on first use and served
// from the cache afterwards; empty when the file is unreadable or holds no
// entry.
QString renderContactCard(const QString &vcardPath);

// Draws a bold italic label at (x, y) and its value after it, either on the
// label's line (clipped to the column) or word-wrapped in the rest of the
// column. Returns the height used.
int drawLabeledText(QPainter &painter, QFont font, int x, int y, int width, const QString &label,
                    const QString &value, bool singleLine);
