#pragma once

#include <QTranslator>

// The catalogue ":/en.qm" keeps every text in one context, keyed by identifiers
// such as IDS_ROOT_DEVICE or by the English literal itself. tr() calls come from
// many classes, so the lookup ignores the caller's context.
class KeyTranslator : public QTranslator
{
    Q_OBJECT
public:
    static constexpr const char *kContext = "Ferrywright";

    explicit KeyTranslator(QObject *parent = nullptr);

    QString translate(const char *context, const char *sourceText,
                      const char *disambiguation = nullptr, int n = -1) const override;
};
