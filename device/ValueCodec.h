#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class FieldInfo;
class QTextCodec;

// The bytes to send for one cell value, or why the value does not fit its field.
struct EncodedValue
{
    QByteArray bytes;
    bool ok = true;
    QString problem; // Russian, for the user, when !ok: the value, the field and the reason
    QString reason;  // the reason alone, naming the limit the value breaks
};

// Turns raw cell bytes into cell text and back, by the field's device type.
class ValueCodec
{
public:
    // Never fails: every byte string gives some value.
    static QByteArray decode(const FieldInfo& field, const QByteArray& raw, QTextCodec* stringCodec);
    // The room decodeNumber() needs: the longest number text and more.
    static constexpr int NumberTextSize = 24;
    // decode() of a field whose text is a number (and no character set's
    // business), written into text, which has NumberTextSize bytes: the
    // text's length, or -1 for a field of another type (decode() it).
    static int decodeNumber(const FieldInfo& field, const char* raw, int size, char* text);
    // The decimal digits of value into text (NumberTextSize bytes): their count.
    static int decimalDigits(uint64_t value, char* text);
    // Refuses (ok == false) a value it cannot read for the field instead of sending zeros.
    // `text`, when given, is the value already read from its UTF-8 bytes, so
    // that a text field's value is converted once for all its checks.
    static EncodedValue encode(const FieldInfo& field, const QByteArray& value, QTextCodec* stringCodec,
                               const QString* text = nullptr);
    // Why encode() refuses the value, without building its bytes; empty when it does not.
    static QString refusalReason(const FieldInfo& field, const QByteArray& value, QTextCodec* stringCodec,
                                 const QString* text = nullptr);
    // The refusal of a value for a field, with its reason and the message that names both.
    static EncodedValue refusal(const FieldInfo& field, const QByteArray& value, const QString& reason);
};
