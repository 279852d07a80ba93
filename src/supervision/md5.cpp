#include "supervision/md5.h"

#include <QCryptographicHash>

QByteArray TextDigest(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5);
}

QByteArray DigestHex(const QByteArray& digest)
{
    static constexpr char digits[] = "0123456789abcdef";
    QByteArray hex;
    hex.reserve(digest.size() * 2);
    for (const char byte : digest) {
        const auto value = static_cast<unsigned char>(byte);
        hex.append(digits[value >> 4]);
        hex.append(digits[value & 0x0f]);
    }
    return hex;
}
