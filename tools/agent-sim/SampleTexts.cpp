#include "SampleTexts.h"

namespace sampletexts {

namespace {

QString pick(QRandomGenerator &random, const QStringList &choices)
{
    return choices.at(random.bounded(int(choices.size())));
}

const QStringList &firstNames()
{
    static const QStringList names{
        "Anna", "Ben", "Carla", "David", "Emma", "Farid", "Grace", "Hiro", "Isabel", "Jonas",
        "Kofi", "Lena", "Mateo", "Nadia", "Oscar", "Priya", "Quinn", "Rosa", "Samir", "Tess",
        "Ulrich", "Vera", "Wen", "Yusuf", "Zoë", "Søren", "Chloé", "José", "Ægir", "Łukasz",
        "Андрей", "Ольга", "Νίκος", "Ελένη", "李娜", "王伟", "さくら", "健太", "민준", "지민",
        "محمد", "فاطمة", "דוד", "רות", "अर्जुन", "प्रिया", "สมชาย", "Mẫn"};
    return names;
}

const QStringList &lastNames()
{
    static const QStringList names{
        "Smith", "Novak", "García", "Müller", "O'Brien", "Rossi", "Kowalski", "Nguyen", "Haddad",
        "Okafor", "Jensen", "Dubois", "Silva", "Tanaka", "Kim", "Ivanova", "Papadopoulos", "Cohen"};
    return names;
}

} // namespace

QString personName(QRandomGenerator &random)
{
    const QString first = pick(random, firstNames());
    // Names in scripts without spaces between parts stay single words.
    if (first.at(0).unicode() >= 0x3000 || random.bounded(4) == 0)
        return first;
    return first + QLatin1Char(' ') + pick(random, lastNames());
}

QString shortText(QRandomGenerator &random)
{
    static const QStringList texts{
        "On my way", "Running 10 min late, sorry!", "Can you call me when you get this?",
        "Sure, see you at 7", "Did you get the tickets?", "Happy birthday!!", "ok",
        "Thanks, that helps a lot.", "Where did we park?", "Meeting moved to 3pm, room 2B",
        "Don't forget the milk & bread", "Your code is 482913. Do not share it.",
        "Lol that's hilarious", "Who's coming on Saturday?", "Home safe. Good night x",
        "Can we move lunch to Friday? Something came up at work and I can't make it tomorrow.",
        "Price is $45.99 <incl. tax> - \"final\" offer", "Yes", "No, next week", "👍"};
    return pick(random, texts);
}

QString emojiText(QRandomGenerator &random)
{
    static const QStringList texts{
        "Congrats!!! 🎉🎉🥳", "Miss you ❤️", "😂😂😂 stop it", "Pizza tonight? 🍕",
        "Just landed ✈️ see you soon", "Good luck today 🍀💪", "☕️ first, then we talk",
        "Family photo 👨‍👩‍👧‍👦 coming soon", "Happy new year 🎆🥂 2024!", "Rain again 🌧️☔",
        "🇯🇵 trip was amazing", "Thumbs up 👍🏽 from all of us"};
    return pick(random, texts);
}

QString nonLatinText(QRandomGenerator &random)
{
    static const QStringList texts{
        "Привет! Как дела? Увидимся завтра.", "Καλημέρα! Τι κάνεις;", "你好，明天见。",
        "我已经到了，你在哪里？", "お疲れ様です。明日の会議は10時からです。", "ありがとう！",
        "안녕하세요, 내일 만나요.", "مرحبا، كيف حالك؟", "شكرا جزيلا", "שלום, מה שלומך?",
        "नमस्ते, आप कैसे हैं?", "สวัสดีครับ", "Xin chào, hẹn gặp lại!", "Zażółć gęślą jaźń",
        "Größe: 42, Preis: 19,99 €"};
    return pick(random, texts);
}

QString longText(QRandomGenerator &random)
{
    static const QStringList sentences{
        "I wanted to write this down properly instead of sending ten short messages.",
        "The landlord finally answered and the repairs will start on Monday morning.",
        "We still need to decide who brings what for the picnic, and whether we go if it rains.",
        "Thank you again for helping with the move; I could not have done it without you.",
        "The train was delayed for almost an hour, so I missed the connection in the city.",
        "Please remember that the school closes early on Thursday because of the teachers' day.",
        "Here is the address again: 221B Baker Street, second floor, ring twice.",
        "If anything changes, just send me a message and I will adjust the booking.",
        "Про погоду не беспокойся, я возьму зонт.", "周末我们一起去爬山吧。"};
    QString text;
    const int target = 1000 + random.bounded(2000);
    while (text.size() < target) {
        text += pick(random, sentences);
        text += random.bounded(5) == 0 ? QStringLiteral("\n\n") : QStringLiteral(" ");
    }
    return text.trimmed();
}

QString subject(QRandomGenerator &random)
{
    static const QStringList subjects{"Photos", "Holiday", "Re: plans", "Party!", "Receipt",
                                      "Fotos vom Wochenende", "Фото", "照片"};
    return pick(random, subjects);
}

QString caption(QRandomGenerator &random)
{
    static const QStringList captions{"Look at this!", "View from the hotel", "Our new puppy 🐶",
                                      "Found it", "Sunset tonight", "Menu", "这是照片", "Вот"};
    return pick(random, captions);
}

} // namespace sampletexts
