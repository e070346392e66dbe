#include "data/password_hasher.h"

#include <sodium.h>

#include <QByteArray>
#include <mutex>
#include <stdexcept>

namespace {
void ensureSodium() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0) {
            throw std::runtime_error("libsodium could not be initialised");
        }
    });
}
}  // namespace

QString PasswordHasher::hash(const QString& password) {
    ensureSodium();
    const QByteArray plain = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, plain.constData(), static_cast<unsigned long long>(plain.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        throw std::runtime_error("out of memory while hashing a password");
    }
    return QString::fromLatin1(out);
}

bool PasswordHasher::verify(const QString& stored, const QString& password) {
    if (!isHash(stored)) {
        return false;
    }
    ensureSodium();
    const QByteArray encoded = stored.toLatin1();
    const QByteArray plain = password.toUtf8();
    return crypto_pwhash_str_verify(encoded.constData(), plain.constData(),
                                    static_cast<unsigned long long>(plain.size())) == 0;
}

bool PasswordHasher::isHash(const QString& stored) {
    return stored.startsWith(QLatin1String("$argon2id$"));
}
