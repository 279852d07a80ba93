// The click-to-dial link parser: the first byte chooses the options, then come the link, the outside-line prefix
// and the hide prefix, one per line.
#include "supervision/dialstring.h"
#include "fuzzsupport.h"

#include <QByteArrayList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayList lines = fuzzsupport::bytes(data + 1, size - 1).toByteArray().split('\n');
    DialOptions options;
    options.businessCode = data[0] & 1;
    options.outsideLine = data[0] & 2;
    options.hideNumber = data[0] & 4;
    options.outsidePrefix = lines.value(1);
    options.hidePrefix = lines.value(2);
    const QByteArray dialled = dialStringFromLink(lines.value(0), options);
    fuzzsupport::check(!options.outsideLine || dialled.isEmpty() || dialled.contains(options.outsidePrefix),
                       "the outside-line prefix is dialled");
    return 0;
}
