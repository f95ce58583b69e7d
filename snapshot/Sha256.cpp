#include "Sha256.h"

#include "common/Errors.h"

#include <openssl/evp.h>

struct Sha256::Context
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : m_context(std::make_unique<Context>())
{
    if (!m_context->context || EVP_DigestInit_ex(m_context->context, EVP_sha256(), nullptr) != 1)
        throw RunTimeError(QStringLiteral("Не удалось начать расчет контрольной суммы SHA-256"));
}

Sha256::~Sha256() = default;

void Sha256::addData(const char* data, qint64 size)
{
    if (size > 0 && EVP_DigestUpdate(m_context->context, data, size_t(size)) != 1)
        throw RunTimeError(QStringLiteral("Не удалось рассчитать контрольную сумму SHA-256"));
}

QString Sha256::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_context->context, digest, &length) != 1)
        throw RunTimeError(QStringLiteral("Не удалось рассчитать контрольную сумму SHA-256"));
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex());
}
