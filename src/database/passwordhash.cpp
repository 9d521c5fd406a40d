#include "database/passwordhash.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QStringList>

namespace wip {

namespace {

const QString kScheme = QStringLiteral("pbkdf2-sha256");
constexpr int kHashLength = 32;
constexpr int kMaximumIterations = 10000000;   // refuse texts that would hang the login

// Constant-time comparison: the time taken does not tell how many bytes matched.
bool equalBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

QByteArray PasswordHash::pbkdf2Sha256(const QByteArray &password, const QByteArray &salt, int iterations,
                                      int length)
{
    QByteArray out;
    if (iterations < 1 || length < 1)
        return out;
    // HMAC-SHA256 by hand (RFC 2104) with the padded keys computed once and two
    // hash objects reused: QMessageAuthenticationCode re-derives them for every
    // message, which made a login take seconds.
    constexpr int blockSize = 64;
    QByteArray key = password;
    if (key.size() > blockSize)
        key = QCryptographicHash::hash(key, QCryptographicHash::Sha256);
    key.resize(blockSize, '\0');
    QByteArray ipad(blockSize, '\0'), opad(blockSize, '\0');
    for (int i = 0; i < blockSize; ++i) {
        ipad[i] = char(key[i] ^ 0x36);
        opad[i] = char(key[i] ^ 0x5c);
    }
    QCryptographicHash inner(QCryptographicHash::Sha256), outer(QCryptographicHash::Sha256);
    QByteArray u(32, '\0'), t;
    auto hmac = [&](QByteArrayView message) {
        inner.reset();
        inner.addData(ipad);
        inner.addData(message);
        outer.reset();
        outer.addData(opad);
        outer.addData(inner.resultView());
        const QByteArrayView r = outer.resultView();
        std::copy(r.begin(), r.end(), u.begin());
    };
    for (quint32 block = 1; out.size() < length; ++block) {
        QByteArray first = salt;
        first.append(char((block >> 24) & 0xff));
        first.append(char((block >> 16) & 0xff));
        first.append(char((block >> 8) & 0xff));
        first.append(char(block & 0xff));
        hmac(first);
        t = u;
        for (int i = 1; i < iterations; ++i) {
            hmac(u);
            for (qsizetype j = 0; j < t.size(); ++j)
                t[j] = char(t[j] ^ u[j]);
        }
        out += t;
    }
    return out.left(length);
}

QString PasswordHash::hash(const QString &password, int iterations)
{
    iterations = qMax(iterations, minimumIterations);
    QByteArray salt(16, '\0');
    QRandomGenerator *rng = QRandomGenerator::system();
    for (qsizetype i = 0; i < salt.size(); ++i)
        salt[i] = char(rng->bounded(256));
    const QByteArray key = pbkdf2Sha256(password.toUtf8(), salt, iterations, kHashLength);
    return QStringLiteral("%1$%2$%3$%4")
        .arg(kScheme)
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(key.toBase64()));
}

bool PasswordHash::verify(const QString &password, const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != kScheme)
        return false;
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    if (!ok || iterations < minimumIterations || iterations > kMaximumIterations)
        return false;
    const auto salt = QByteArray::fromBase64Encoding(parts[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto expected = QByteArray::fromBase64Encoding(parts[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !expected || salt.decoded.size() < 8 || expected.decoded.size() != kHashLength)
        return false;
    const QByteArray actual = pbkdf2Sha256(password.toUtf8(), salt.decoded, iterations, kHashLength);
    return equalBytes(actual, expected.decoded);
}

} // namespace wip
