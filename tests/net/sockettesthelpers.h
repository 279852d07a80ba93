#pragma once

#include "net/customwsocket.h"
#include "net/esocketexception.h"

#include <QByteArray>
#include <cstdint>
#include <string>
#include <vector>

// Records the lifecycle events of a socket as readable lines, in order.
struct EventRecorder
{
    std::vector<std::string> events;

    void Attach(TCustomWSocket& socket);
};

std::string StateName(TSocketState state);

// Addr 127.0.0.1, Proto tcp (or the given protocol) and the port.
void Target(TCustomWSocket& socket, uint16_t port, const QByteArray& proto = QByteArrayLiteral("tcp"));

// The message an ESocketException raised by the call carries, or "" when none is raised.
template <typename Call> QByteArray RaisedSocketMessage(Call call)
{
    try {
        call();
    } catch (const ESocketException& e) {
        return e.Message();
    }
    return QByteArray();
}
