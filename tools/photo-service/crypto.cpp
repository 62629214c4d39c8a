#include "tools/photo-service/crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

QByteArray RandomBytes(int count) {
    QByteArray bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), count) != 1)
        throw std::runtime_error("no random bytes");
    return bytes;
}

std::string RandomToken(int bytes) {
    return RandomBytes(bytes).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals).toStdString();
}

QByteArray HashPassword(const QByteArray& password, const QByteArray& salt, int rounds) {
    QByteArray hash(PasswordHashBytes, '\0');
    if (PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()), int(salt.size()), rounds,
                          EVP_sha256(), PasswordHashBytes, reinterpret_cast<unsigned char*>(hash.data())) != 1)
        throw std::runtime_error("password hash failed");
    return hash;
}

bool SameSecret(const QByteArray& a, const QByteArray& b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

QByteArray Sha256(const QByteArray& data) {
    TDigest digest;
    digest.Add(data.constData(), size_t(data.size()));
    return digest.Finish();
}

TDigest::TDigest() : FContext(EVP_MD_CTX_new()) {
    if (!FContext || EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(FContext), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("no digest");
}

TDigest::~TDigest() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(FContext)); }

void TDigest::Add(const char* data, size_t size) { EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(FContext), data, size); }

QByteArray TDigest::Finish() {
    QByteArray out(EVP_MAX_MD_SIZE, '\0');
    unsigned int size = 0;
    EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(FContext), reinterpret_cast<unsigned char*>(out.data()), &size);
    out.resize(int(size));
    return out;
}
