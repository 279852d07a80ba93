// The URL splitter: the first line is the URL, the rest the current path that "./" and "../" resolve against.
#include "fuzzsupport.h"
#include "net/urlroutines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzzsupport::bytes(data, size).toByteArray();
    const qsizetype newline = input.indexOf('\n');
    const QByteArray url = newline < 0 ? input : input.left(newline);
    const QByteArray currentPath = newline < 0 ? QByteArray() : input.mid(newline + 1);
    SplitUrl(url, currentPath);
    UrlDirectory(url);
    return 0;
}
