#pragma once

#include <QTextCodec>

// The register's own character set, "RU-internal-866".
class InternalCodec : public QTextCodec
{
public:
    QByteArray name() const override;
    QList<QByteArray> aliases() const override;
    int mibEnum() const override;

protected:
    QString convertToUnicode(const char* in, int length, ConverterState* state) const override;
    QByteArray convertFromUnicode(const QChar* in, int length, ConverterState* state) const override;
};
