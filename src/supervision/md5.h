#pragma once

#include <QByteArray>

// The manager's challenge login proves the secret without sending it: the key is
// the MD5 digest (RFC 1321) of the challenge followed by the secret, written in
// lowercase hexadecimal. Both work on the bytes as they are (code page 1252).

// The 16-byte MD5 digest of the bytes of the text, without any terminator.
QByteArray TextDigest(const QByteArray& text);

// The 32-character writing of a digest: for each byte in order, the high then the
// low half as one of "0123456789abcdef".
QByteArray DigestHex(const QByteArray& digest);
