#pragma once
// The photo service's secrets: password hashes, session tokens, page tokens
// and photo digests (OpenSSL).
#include <QByteArray>
#include <string>

constexpr int PasswordSaltBytes = 16;
constexpr int PasswordHashBytes = 32;
// PBKDF2-HMAC-SHA256 rounds for a new password: slow on purpose, so a stolen
// database gives up its passwords only slowly.
constexpr int DefaultPasswordRounds = 600000;

QByteArray RandomBytes(int count);
// Count random bytes as base64url text without padding.
std::string RandomToken(int bytes);
QByteArray HashPassword(const QByteArray& password, const QByteArray& salt, int rounds);
// Equal bytes, compared in time that does not depend on where they differ.
bool SameSecret(const QByteArray& a, const QByteArray& b);
QByteArray Sha256(const QByteArray& data);

// SHA-256 over bytes given in pieces.
class TDigest {
public:
    TDigest();
    ~TDigest();
    TDigest(const TDigest&) = delete;
    TDigest& operator=(const TDigest&) = delete;
    void Add(const char* data, size_t size);
    QByteArray Finish();

private:
    void* FContext;
};
