#pragma once

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace fuzzsupport {

// Creates the one QCoreApplication of the process, for targets whose code posts events or reads settings. No
// display is needed.
void ensureCoreApplication();

// The input as the network would deliver it: the first byte gives the size of each read (1 to 256), the rest is
// handed over in reads of that size, the last one shorter.
void forEachRead(const std::uint8_t* data, std::size_t size, const std::function<void(QByteArrayView)>& read);

// The input as bytes, for the targets that take it whole.
inline QByteArrayView bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Stops the run with a report when a property the code promises does not hold.
void check(bool condition, const char* what);

} // namespace fuzzsupport
