#pragma once

#include "net/wsocket.h"

#include <QByteArray>
#include <memory>

// A TWSocket server on 127.0.0.1 (port chosen by the system) that accepts one
// client, records every byte it receives and sends the bytes a test scripts.
class ScriptedPeer
{
public:
    ScriptedPeer();

    quint16 Port() const { return m_port; }
    bool Connected() const;
    QByteArray Received() const { return m_received; }
    void ClearReceived() { m_received.clear(); }
    void Send(const QByteArray& bytes);
    void Close();

private:
    std::unique_ptr<TWSocket> m_client;
    TWSocket m_listener;
    QByteArray m_received;
    quint16 m_port = 0;
};

// Bytes from a list of values, for telnet commands.
QByteArray Bytes(std::initializer_list<int> values);
