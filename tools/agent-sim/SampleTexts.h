#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

// Word material for generated phones: people's names in several scripts and
// message texts of the kinds real phones hold.
namespace sampletexts {

QString personName(QRandomGenerator &random);
QString shortText(QRandomGenerator &random);
QString emojiText(QRandomGenerator &random);
QString nonLatinText(QRandomGenerator &random);
// A few paragraphs, between about 1,000 and 3,000 characters.
QString longText(QRandomGenerator &random);
QString subject(QRandomGenerator &random);
QString caption(QRandomGenerator &random);

} // namespace sampletexts
