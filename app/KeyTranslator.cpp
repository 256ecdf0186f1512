#include "app/KeyTranslator.h"

KeyTranslator::KeyTranslator(QObject *parent)
    : QTranslator(parent)
{
}

QString KeyTranslator::translate(const char *context, const char *sourceText,
                                 const char *disambiguation, int n) const
{
    Q_UNUSED(context);
    return QTranslator::translate(kContext, sourceText, disambiguation, n);
}
