#pragma once

#include <QByteArray>
#include <QString>

class QTextCodec;

// The encoding in which an imported file's bytes are read. A file that is
// valid UTF-8 is read as the locale's files are (FileTextCodec); one that is
// not is read as Windows-1251, what a spreadsheet on a Russian Windows desktop
// writes unless asked for UTF-8, or in the locale's own codec when that is an
// eight-bit one (KOI8-R, Windows-1251). The user may name the encoding instead.
class FileEncoding
{
public:
    enum Choice { Detect, Utf8, Windows1251 };

    // "utf-8" or "windows-1251" (in any case) for --encoding; false otherwise.
    static bool parse(const QString& name, Choice& choice);
    // The names parse() takes, as the help shows them.
    static QString names() { return QStringLiteral("utf-8|windows-1251"); }
    // The codec of a named encoding (not Detect).
    static QTextCodec* codecOf(Choice choice);

    // Why an export in codec refuses a value (as shown) that codec cannot hold.
    static QString cannotHold(QTextCodec* codec, const QString& value);

    FileEncoding(const QByteArray& bytes, Choice choice);

    QTextCodec* codec() const { return m_codec; }
    // Read as Windows-1251 because the bytes are not UTF-8, nobody having said so.
    bool guessedWindows1251() const { return m_guessed; }
    // Detected, and found to be UTF-8 without a NUL byte (PlainUtf8) from the first byte to the last.
    bool plainUtf8() const { return m_plainUtf8; }
    // Detected, and found printable (PrintableText::isPrintable) from the first byte to the last.
    bool printable() const { return m_printable; }
    // What the messages after an import say of such a file; empty for others.
    QString note() const;
    // Why a guessed file is refused when it names no table: neither UTF-8 nor
    // a table file in Windows-1251, with the line and byte where UTF-8 failed.
    QString notTableFile(const QString& title) const;

private:
    QTextCodec* m_codec = nullptr;
    bool m_guessed = false;
    bool m_plainUtf8 = false;
    bool m_printable = false;
    int m_badLine = 0;   // from 1; 0 while the bytes are UTF-8
    int m_badColumn = 0; // the byte's place in its line, from 1
    uchar m_badByte = 0;
};
