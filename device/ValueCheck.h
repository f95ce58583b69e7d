#pragma once

#include "RegisterCharsets.h"
#include "ValueCodec.h"

#include <QByteArray>
#include <QString>

class CharsetCodec;
class FieldInfo;

// Whether a cell value can be stored in its field of the register, and why
// not: the one check that the import, the shell program, the write engine and
// the editors share. The value is the cell text as the table model stores it
// (money as a whole number of kopecks, list choices as their code).
//
// A value passes when the model description allows it (the limits of int and
// money fields, the codes of list fields), when its text can be kept whole
// (no NUL in a text; printable ASCII only in an "ascii" field, and no more
// characters than the field holds; no character in a cp866 text that the
// register's own character set lacks) and when the encoder can turn it into
// the field's bytes, in the character set the register's texts are written in.
class ValueCheck
{
public:
    explicit ValueCheck(const RegisterCharsets& charsets);

    // Empty when the value can be stored; otherwise the reason in Russian,
    // naming the limit ("нужно целое число от 0 до 16").
    QString reason(const FieldInfo& field, const QByteArray& value) const;
    bool accepts(const FieldInfo& field, const QByteArray& value) const { return reason(field, value).isEmpty(); }

    // The bytes to send for the value, in the register's character set; a
    // refused value comes with ok false, its reason and a message naming the
    // value and the field.
    EncodedValue encode(const FieldInfo& field, const QByteArray& value) const;

    // Why a text holding a NUL is refused, wherever it comes from (a file, the
    // clipboard): the register would keep it cut there. Empty when it holds none.
    static QString nulReason(const QByteArray& value);
    static QString nulReason(const QString& text);

private:
    RegisterCharsets m_charsets;
    const CharsetCodec* m_written; // the texts' set as a table, when it is one: null otherwise
};
