#pragma once

#include "PictureFactory.h"
#include "SimMessage.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

class PhoneStore;

struct GeneratorOptions
{
    int messages = 1000;
    int contacts = 40;
    int pictures = -1;        // -1: one picture per 100 messages
    int pictureKb = 200;      // size of each picture
    quint32 seed = 1;
    QString mmc = QStringLiteral("310");
    QString model = QStringLiteral("Pixel 7");
    QString manufacturer = QStringLiteral("Google");
    QDateTime newest = QDateTime(QDate(2024, 6, 1), QTime(12, 0), Qt::UTC);
};

// Fills a phone store with a realistic, reproducible phone: messages over
// one-to-one and group conversations, sent and received, with emoji, other
// scripts, long texts and MMS with pictures, stickers, contact cards, text
// and SMIL parts. Messages are written as they are made, so memory stays flat.
class PhoneGenerator
{
public:
    explicit PhoneGenerator(const GeneratorOptions &options);

    // Writes the identity and the messages; the store must be empty.
    void generate(PhoneStore &store);

    qint64 partBytes() const;
    int pictureCount() const;

private:
    struct Contact
    {
        QString name;
        QString number;
    };
    struct Conversation
    {
        QList<int> members;   // indexes into m_contacts
    };

    void makeContacts();
    void makeConversations();
    const Conversation &pickConversation();
    SimMessage makeMessage(int index, qint64 dateMs);
    void addPicture(SimMessage &message, int number);
    void addSticker(SimMessage &message, int number);
    void addContactCard(SimMessage &message);
    void addTextPart(SimMessage &message, const QString &text);
    void addSmil(SimMessage &message);
    QString writePart(const QString &name, const QByteArray &bytes);
    QString randomNumber();
    QString imei();

    GeneratorOptions m_options;
    QRandomGenerator m_random;
    PictureFactory m_pictures;
    PhoneStore *m_store = nullptr;
    QList<Contact> m_contacts;
    QList<Conversation> m_conversations;
    QList<double> m_cumulativeWeights;
    qint64 m_partBytes = 0;
    int m_pictureCount = 0;
    int m_partCounter = 0;
};
