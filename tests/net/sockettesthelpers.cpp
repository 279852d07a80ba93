#include "sockettesthelpers.h"

std::string StateName(TSocketState state)
{
    static const char* const names[] = {"wsInvalidState", "wsOpened",    "wsBound",     "wsConnecting",
                                        "wsConnected",    "wsAccepting", "wsListening", "wsClosed"};
    return names[state];
}

void EventRecorder::Attach(TCustomWSocket& socket)
{
    socket.OnChangeState = [this](TCustomWSocket*, TSocketState oldState, TSocketState newState) {
        events.push_back(StateName(oldState) + "->" + StateName(newState));
    };
    socket.OnSessionConnected = [this](TCustomWSocket*, quint16 error) {
        events.push_back("connected " + std::to_string(error));
    };
    socket.OnSessionClosed = [this](TCustomWSocket*, quint16 error) {
        events.push_back("closed " + std::to_string(error));
    };
}

void Target(TCustomWSocket& socket, uint16_t port, const QByteArray& proto)
{
    socket.SetProto(proto);
    socket.SetAddr("127.0.0.1");
    socket.SetPort(QByteArray::number(port));
}
