#include "FileTextCodec.h"

#include <QTextCodec>

#include <algorithm>

namespace {

QTextCodec* utf8()
{
    return QTextCodec::codecForName("UTF-8");
}

} // namespace

bool FileTextCodec::isUtf8(const QTextCodec* codec)
{
    return codec->mibEnum() == 106;
}

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

QTextCodec* FileTextCodec::localeCodec()
{
    return QTextCodec::codecForLocale();
}

QTextCodec* FileTextCodec::utf8Codec()
{
    return utf8();
}

bool FileTextCodec::fitsCodec(QTextCodec* codec, const QByteArray& utf8Text)
{
    // Locale codecs hold ASCII; only the other texts need asking.
    const bool ascii = std::all_of(utf8Text.cbegin(), utf8Text.cend(), [](char c) { return uchar(c) < 0x80; });
    return ascii || codec->canEncode(QString::fromUtf8(utf8Text));
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
