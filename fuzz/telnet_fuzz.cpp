// The telnet decoder on received bytes, cut into reads anywhere, as the socket would hand them over.
#include "fuzzsupport.h"
#include "net/tncnx.h"
#include "net/wsocket.h"

using fuzzsupport::check;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::ensureCoreApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TTnCnx session;
    // Without its socket the session decodes as usual and its answers go nowhere.
    delete session.Socket();
    qsizetype delivered = 0;
    session.OnDataAvailable = [&](TTnCnx*, const char* buffer, int len) {
        check(len > 0 && len <= 2048, "a block holds 1 to 2048 bytes");
        check(buffer[len] == '\0', "a block is NUL-terminated");
        delivered += len;
    };
    fuzzsupport::forEachRead(
        data, size, [&](QByteArrayView read) { session.decodeReceived(read.data(), static_cast<int>(read.size())); });
    check(delivered <= qsizetype(size), "the data is never longer than the input");
    return 0;
}
