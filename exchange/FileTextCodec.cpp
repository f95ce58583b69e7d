#include "FileTextCodec.h"

#include <QTextCodec>

namespace {

QTextCodec* utf8()
{
    return QTextCodec::codecForName("UTF-8");
}

bool isUtf8(const QTextCodec* codec)
{
    return codec->mibEnum() == 106;
}

} // namespace

QTextCodec* FileTextCodec::forWriting(const QStringList& texts)
{
    QTextCodec* locale = QTextCodec::codecForLocale();
    if (isUtf8(locale))
        return locale;
    for (const QString& text : texts) {
        if (!locale->canEncode(text))
            return utf8();
    }
    return locale;
}

QTextCodec* FileTextCodec::forReading(const QByteArray& bytes)
{
    QTextCodec* locale = QTextCodec::codecForLocale();
    if (isUtf8(locale))
        return locale;
    QTextCodec::ConverterState state;
    const QString asUtf8 = utf8()->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0 && !locale->canEncode(asUtf8))
        return utf8();
    return locale;
}
