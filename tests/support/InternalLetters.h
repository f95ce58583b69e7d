#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextCodec>

// Every letter of the register's own character set, one string each, in the
// order of their bytes: the capitals from 0x00 ("А") on, the Latin letters,
// the small letters, "Ё" and "ё".
inline QStringList internalLetters(QTextCodec* internal)
{
    QStringList letters;
    for (int byte = 0; byte < 256; ++byte) {
        const QString character = internal->toUnicode(QByteArray(1, char(byte)));
        if (character.size() == 1 && character[0].isLetter() && !letters.contains(character))
            letters << character;
    }
    return letters;
}
