#pragma once

#include <QByteArray>
#include <QStringList>

class QTextCodec;

// The codec of the CSV files: the system locale's, unless that codec cannot
// hold the text (a Latin-1 locale and Cyrillic names), in which case UTF-8 is
// used so that nothing is lost, and such a file is recognised when read back.
class FileTextCodec
{
public:
    static QTextCodec* forWriting(const QStringList& texts);
    // The same for texts given as UTF-8 bytes: firstText, then each text
    // that visitTexts hands to the function it is given.
    template <typename VisitTexts>
    static QTextCodec* forWriting(const QByteArray& firstText, VisitTexts visitTexts)
    {
        QTextCodec* locale = localeCodec();
        if (isUtf8(locale))
            return locale;
        bool fits = fitsCodec(locale, firstText);
        visitTexts([&](const QByteArray& text) { fits = fits && fitsCodec(locale, text); });
        return fits ? locale : utf8Codec();
    }
    static QTextCodec* forReading(const QByteArray& bytes);
    static bool isUtf8(const QTextCodec* codec);

private:
    static QTextCodec* localeCodec();
    static QTextCodec* utf8Codec();
    static bool fitsCodec(QTextCodec* codec, const QByteArray& utf8Text);
};
