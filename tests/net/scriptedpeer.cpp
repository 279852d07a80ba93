#include "scriptedpeer.h"

ScriptedPeer::ScriptedPeer()
{
    m_listener.OnSessionAvailable = [this](TCustomWSocket* listener, quint16) {
        m_client = std::make_unique<TWSocket>();
        m_client->OnDataAvailable = [this](TCustomWSocket* s, quint16) { m_received += s->ReceiveText(); };
        m_client->Dup(listener->Accept());
    };
    m_listener.SetProto("tcp");
    m_listener.SetAddr("127.0.0.1");
    m_listener.SetPort("0");
    m_listener.Listen();
    m_port = m_listener.BoundPort().toUShort();
}

bool ScriptedPeer::Connected() const
{
    return m_client && m_client->State() == wsConnected;
}

void ScriptedPeer::Send(const QByteArray& bytes)
{
    m_client->SendText(bytes);
}

void ScriptedPeer::Close()
{
    m_client->Close();
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}
