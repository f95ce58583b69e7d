#pragma once

#include <QTextCodec>

// Code page 866 as the register prints it, "RU-866".
class ExternalCodec : public QTextCodec
{
public:
    QByteArray name() const override;
    QList<QByteArray> aliases() const override;
    int mibEnum() const override;

protected:
    QString convertToUnicode(const char* in, int length, ConverterState* state) const override;
    QByteArray convertFromUnicode(const QChar* in, int length, ConverterState* state) const override;
};
