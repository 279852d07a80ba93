#include "fuzzsupport.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace fuzzsupport {

void ensureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    // Lives as long as the process: libFuzzer never returns from its loop to destroy it.
    static int argc = 1;
    static char name[] = "corvaline-fuzz";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

void forEachRead(const std::uint8_t* data, std::size_t size, const std::function<void(QByteArrayView)>& read)
{
    if (size == 0)
        return;
    const std::size_t step = std::size_t(data[0]) + 1;
    for (std::size_t at = 1; at < size; at += step)
        read(bytes(data + at, std::min(step, size - at)));
}

void check(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

} // namespace fuzzsupport
