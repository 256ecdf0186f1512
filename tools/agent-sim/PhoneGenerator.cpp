#include "PhoneGenerator.h"

#include "PhoneStore.h"
#include "SampleTexts.h"

#include <QDir>
#include <QJsonDocument>

#include <algorithm>
#include <stdexcept>

namespace {

const qint64 DayMs = 24LL * 3600 * 1000;
const qint64 HistoryMs = 730 * DayMs;

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

} // namespace

PhoneGenerator::PhoneGenerator(const GeneratorOptions &options)
    : m_options(options)
    , m_random(options.seed)
    , m_pictures(options.seed)
{
    if (m_options.pictures < 0)
        m_options.pictures = m_options.messages / 100;
    m_options.pictures = std::min(m_options.pictures, m_options.messages);
    m_options.contacts = std::max(1, m_options.contacts);
}

qint64 PhoneGenerator::partBytes() const
{
    return m_partBytes;
}

int PhoneGenerator::pictureCount() const
{
    return m_pictureCount;
}

void PhoneGenerator::generate(PhoneStore &store)
{
    m_store = &store;
    store.ensureLayout();
    if (store.messageCount() > 0)
        fail(QStringLiteral("the store %1 already holds messages").arg(store.folder()));

    store.setInfo({{"version", "32"},
                   {"model", m_options.model},
                   {"manufacturer", m_options.manufacturer},
                   {"imei", imei()},
                   {"uid", QString::number(m_random.generate64(), 16)},
                   {"sdk", "33"},
                   {"sdk_id", "33"},
                   {"root", "0"},
                   {"storage1", "/storage/emulated/0"},
                   {"mmc", m_options.mmc}});

    makeContacts();
    makeConversations();

    QFile messages(QDir(store.folder()).filePath("messages.jsonl"));
    if (!messages.open(QIODevice::WriteOnly | QIODevice::Append))
        fail(QStringLiteral("cannot write %1: %2").arg(messages.fileName(), messages.errorString()));
    const qint64 newestMs = m_options.newest.toMSecsSinceEpoch();
    const qint64 step = m_options.messages > 0 ? HistoryMs / m_options.messages : 0;
    for (int i = 0; i < m_options.messages; ++i) {
        const qint64 dateMs = newestMs - HistoryMs + i * step + m_random.bounded(int(std::max<qint64>(step, 1)));
        const QByteArray line =
            QJsonDocument(makeMessage(i, dateMs).toJson()).toJson(QJsonDocument::Compact) + '\n';
        if (messages.write(line) != line.size())
            fail(QStringLiteral("cannot write %1: %2").arg(messages.fileName(), messages.errorString()));
    }
}

void PhoneGenerator::makeContacts()
{
    for (int i = 0; i < m_options.contacts; ++i)
        m_contacts.append(Contact{sampletexts::personName(m_random), randomNumber()});
}

void PhoneGenerator::makeConversations()
{
    for (int i = 0; i < m_contacts.size(); ++i)
        m_conversations.append(Conversation{{i}});
    const int groups = m_contacts.size() >= 3 ? std::max(1, int(m_contacts.size()) / 10) : 0;
    for (int g = 0; g < groups; ++g) {
        Conversation group;
        const int size = 3 + m_random.bounded(2);
        while (group.members.size() < std::min(size, int(m_contacts.size()))) {
            const int member = m_random.bounded(int(m_contacts.size()));
            if (!group.members.contains(member))
                group.members.append(member);
        }
        m_conversations.append(group);
    }
    // A few busy conversations and a long tail of quiet ones, as on real phones.
    double total = 0;
    for (int i = 0; i < m_conversations.size(); ++i) {
        total += 1.0 / (1 + i % 17);
        m_cumulativeWeights.append(total);
    }
}

const PhoneGenerator::Conversation &PhoneGenerator::pickConversation()
{
    const double roll = m_random.generateDouble() * m_cumulativeWeights.last();
    const auto it = std::lower_bound(m_cumulativeWeights.cbegin(), m_cumulativeWeights.cend(), roll);
    return m_conversations.at(int(std::min<qsizetype>(it - m_cumulativeWeights.cbegin(),
                                                      m_conversations.size() - 1)));
}

SimMessage PhoneGenerator::makeMessage(int index, qint64 dateMs)
{
    const Conversation &conversation = pickConversation();
    SimMessage message;
    message.dateMs = dateMs;
    message.sent = m_random.bounded(2) == 0;
    for (int member : conversation.members)
        message.addresses.append(m_contacts.at(member).number);
    if (!message.sent) {
        const int sender = conversation.members.at(m_random.bounded(int(conversation.members.size())));
        message.name = m_contacts.at(sender).name;
    } else if (conversation.members.size() == 1) {
        message.name = m_contacts.at(conversation.members.first()).name;
    }

    // Pictures are spread evenly so that any prefix of the phone has its share.
    const qint64 n = m_options.messages;
    const bool picture = m_options.pictures > 0
        && (qint64(index) * m_options.pictures / n != qint64(index + 1) * m_options.pictures / n);
    if (picture) {
        addPicture(message, m_pictureCount++);
        return message;
    }

    const int roll = m_random.bounded(1000);
    if (roll < 10) {
        addContactCard(message);
    } else if (roll < 20) {
        message.subject = sampletexts::subject(m_random);
        addTextPart(message, sampletexts::longText(m_random));
        addSmil(message);
    } else if (roll < 25) {
        addSticker(message, index);
    } else if (roll < 45) {
        message.text = sampletexts::longText(m_random);
    } else if (roll < 125) {
        message.text = sampletexts::emojiText(m_random);
    } else if (roll < 245) {
        message.text = sampletexts::nonLatinText(m_random);
    } else {
        message.text = sampletexts::shortText(m_random);
    }
    return message;
}

void PhoneGenerator::addSmil(SimMessage &message)
{
    QString body;
    for (const SimPart &part : std::as_const(message.parts)) {
        const QString tag = part.mime.startsWith("image/") ? "img" : "text";
        body += QStringLiteral("<par dur=\"5000ms\"><%1 src=\"%2\" region=\"%3\"/></par>")
                    .arg(tag, part.name, tag == "img" ? "Image" : "Text");
    }
    const QString smil = QStringLiteral(
        "<smil><head><layout><root-layout/><region id=\"Image\" top=\"0\" left=\"0\" height=\"80%\" "
        "width=\"100%\" fit=\"meet\"/><region id=\"Text\" top=\"80%\" left=\"0\" height=\"20%\" "
        "width=\"100%\" fit=\"scroll\"/></layout></head><body>%1</body></smil>").arg(body);
    message.parts.prepend(SimPart{"application/smil", "smil.xml", writePart("smil.xml", smil.toUtf8())});
}

void PhoneGenerator::addPicture(SimMessage &message, int number)
{
    if (m_random.bounded(3) == 0)
        message.subject = sampletexts::subject(m_random);
    if (m_random.bounded(2) == 0)
        addTextPart(message, sampletexts::caption(m_random));
    const QString name = QStringLiteral("IMG_%1.jpg")
                             .arg(QDateTime::fromMSecsSinceEpoch(message.dateMs, Qt::UTC)
                                      .toString("yyyyMMdd_HHmmss"));
    const QByteArray bytes = m_pictures.jpeg(quint32(number), m_options.pictureKb * 1024);
    message.parts.append(SimPart{"image/jpeg", name, writePart(name, bytes)});
    addSmil(message);
}

void PhoneGenerator::addSticker(SimMessage &message, int number)
{
    const QString name = QStringLiteral("sticker_%1.png").arg(number);
    message.parts.append(SimPart{"image/png", name, writePart(name, m_pictures.png(quint32(number)))});
    addSmil(message);
}

void PhoneGenerator::addContactCard(SimMessage &message)
{
    const Contact &person = m_contacts.at(m_random.bounded(int(m_contacts.size())));
    const QString card = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:%1;;;;\r\n"
                                        "FN;CHARSET=UTF-8:%1\r\nTEL;CELL:%2\r\nEND:VCARD\r\n")
                             .arg(person.name, person.number);
    message.parts.append(SimPart{"text/x-vcard", "contact.vcf", writePart("contact.vcf", card.toUtf8())});
    addSmil(message);
}

void PhoneGenerator::addTextPart(SimMessage &message, const QString &text)
{
    const QString name = QStringLiteral("text_%1.txt").arg(message.parts.size());
    message.parts.append(SimPart{"text/plain", name, writePart(name, text.toUtf8())});
}

QString PhoneGenerator::writePart(const QString &name, const QByteArray &bytes)
{
    const QString relative = QStringLiteral("parts/%1_%2").arg(++m_partCounter, 7, 10, QLatin1Char('0')).arg(name);
    QFile file(m_store->partPath(relative));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    m_partBytes += bytes.size();
    return relative;
}

QString PhoneGenerator::randomNumber()
{
    // Numbers in the forms people type: international, national, with and
    // without separators, in the fictional 555-01xx range where one exists.
    const int line = m_random.bounded(10000);
    switch (m_random.bounded(6)) {
    case 0:
        return QStringLiteral("+1555%1").arg(1000000 + m_random.bounded(9000000));
    case 1:
        return QStringLiteral("(555) 01%1-%2").arg(m_random.bounded(10)).arg(line, 4, 10, QLatin1Char('0'));
    case 2:
        return QStringLiteral("555-01%1-%2").arg(m_random.bounded(100), 2, 10, QLatin1Char('0')).arg(line, 4, 10, QLatin1Char('0'));
    case 3:
        return QStringLiteral("+44 7700 900%1").arg(m_random.bounded(1000), 3, 10, QLatin1Char('0'));
    case 4:
        return QStringLiteral("+86 138 0013 %1").arg(line, 4, 10, QLatin1Char('0'));
    default:
        return QStringLiteral("+49 151 %1").arg(10000000 + m_random.bounded(90000000));
    }
}

QString PhoneGenerator::imei()
{
    // Fourteen digits and the Luhn check digit, like a real handset identity.
    QString digits;
    for (int i = 0; i < 14; ++i)
        digits += QChar('0' + m_random.bounded(10));
    int sum = 0;
    for (int i = 0; i < 14; ++i) {
        int d = digits.at(13 - i).digitValue();
        if (i % 2 == 0) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return digits + QChar('0' + (10 - sum % 10) % 10);
}
