#include "managermessage.h"

namespace pbxsim {

QByteArray ManagerMessage::value(const QByteArray& name) const
{
    for (const auto& [headerName, headerValue] : m_headers) {
        if (headerName.compare(name, Qt::CaseInsensitive) == 0)
            return headerValue;
    }
    return {};
}

bool ManagerMessage::has(const QByteArray& name) const
{
    for (const auto& header : m_headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void ManagerMessage::add(const QByteArray& name, const QByteArray& value)
{
    m_headers.append({name, value});
}

QByteArray ManagerMessage::toWire() const
{
    QByteArray wire;
    for (const auto& [name, value] : m_headers)
        wire += name + ": " + value + "\r\n";
    wire += "\r\n";
    return wire;
}

} // namespace pbxsim
