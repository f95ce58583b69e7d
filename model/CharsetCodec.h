#pragma once

#include "CharsetTable.h"

#include <QTextCodec>

// A Qt text codec over one of the register's single-byte character sets:
// a pure table look-up both ways. fold, when given, replaces a character
// before it is looked up for encoding.
class CharsetCodec : public QTextCodec
{
public:
    using Fold = char16_t (*)(char16_t);

    CharsetCodec(const QByteArray& name, int mib, const CharsetTable& table, Fold fold = nullptr);

    QByteArray name() const override;
    QList<QByteArray> aliases() const override;
    int mibEnum() const override;

    // Whether every character of the text has a byte, so that encoding it
    // drops none; the same as comparing the lengths, without building the bytes.
    bool encodesEvery(const QChar* in, int length) const;
    // Whether every ASCII character has a byte.
    bool encodesAscii() const { return m_encodesAscii; }
    // The UTF-8 bytes of a text in this set: toUnicode(...).toUtf8() without
    // the UTF-16 text between them.
    QByteArray toUtf8(const char* in, int length) const;

protected:
    QString convertToUnicode(const char* in, int length, ConverterState* state) const override;
    QByteArray convertFromUnicode(const QChar* in, int length, ConverterState* state) const override;

private:
    QByteArray m_name;
    int m_mib;
    const CharsetTable& m_table;
    Fold m_fold;
    bool m_encodesAscii;
    // Each byte's character as UTF-8: its length, then up to three bytes.
    struct Utf8Char
    {
        char size;
        char bytes[3];
    };
    Utf8Char m_utf8[256];
};
