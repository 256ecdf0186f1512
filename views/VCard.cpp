#include "views/VCard.h"

#include "views/VCardParser.h"

#include <QTextCodec>

namespace {

// Gathers the parser's callbacks into entries. Lines outside a BEGIN ... END
// block are dropped, and so are the values of BEGIN and END themselves.
class EntryCollector
{
public:
    void onProperty(const QByteArray &name, const QList<VCardParser::Param> &params)
    {
        if (name == "BEGIN") {
            m_entries.append(VCardEntry());
            m_currentEntry = &m_entries.last();
            m_currentProperty = nullptr;
        } else if (name == "END") {
            m_currentEntry = nullptr;
            m_currentProperty = nullptr;
        } else if (m_currentEntry) {
            m_currentEntry->append(makeProperty(name, params));
            m_currentProperty = &m_currentEntry->last();
        }
    }

    void onValue(const QByteArray *value)
    {
        if (value && m_currentProperty)
            m_currentProperty->value = *value;
    }

    QList<VCardEntry> takeEntries()
    {
        m_currentEntry = nullptr;
        m_currentProperty = nullptr;
        return std::move(m_entries);
    }

private:
    static VCardProperty makeProperty(const QByteArray &name, const QList<VCardParser::Param> &params)
    {
        VCardProperty property;
        property.name = QString::fromLatin1(name);
        for (const VCardParser::Param &param : params)
            property.params.insert(QString::fromLatin1(param.name),
                                   QString::fromLatin1(param.value.value_or(QByteArray())));
        return property;
    }

    // Pointers into m_entries; reset whenever the list may reallocate (only
    // BEGIN appends to it, and it moves the entry pointer at the same time).
    QList<VCardEntry> m_entries;
    VCardEntry *m_currentEntry = nullptr;
    VCardProperty *m_currentProperty = nullptr;
};

} // namespace

QList<VCardEntry> parseVCards(const QByteArray &bytes)
{
    EntryCollector collector;
    VCardParser parser(
        [&collector](const QByteArray &name, const QList<VCardParser::Param> &params) {
            collector.onProperty(name, params);
        },
        [&collector](const QByteArray *value) { collector.onValue(value); });
    parser.feed(bytes, true);
    return collector.takeEntries();
}

QString propertyText(const VCardProperty &property)
{
    const auto charset = property.params.constFind(QStringLiteral("CHARSET"));
    if (charset != property.params.constEnd()) {
        if (QTextCodec *codec = QTextCodec::codecForName(charset->toLatin1()))
            return codec->toUnicode(property.value);
    }
    return QString::fromLocal8Bit(property.value);
}
