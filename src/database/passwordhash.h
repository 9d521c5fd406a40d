#pragma once

#include <QByteArray>
#include <QString>

namespace wip {

// Salted, slow password hashes for the users table: PBKDF2-HMAC-SHA256 with a
// random 16-byte salt, stored as "pbkdf2-sha256$iterations$salt_b64$hash_b64".
class PasswordHash
{
public:
    static constexpr int defaultIterations = 100000;
    static constexpr int minimumIterations = 100000;   // weaker stored hashes do not verify

    static QString hash(const QString &password, int iterations = defaultIterations);
    // True when password matches the stored text; false for any malformed text.
    static bool verify(const QString &password, const QString &stored);

    // PBKDF2-HMAC-SHA256 (RFC 8018), exposed for the tests' known-answer vectors.
    static QByteArray pbkdf2Sha256(const QByteArray &password, const QByteArray &salt, int iterations,
                                   int length);
};

} // namespace wip
