#pragma once

// TWSocket: the asynchronous TCP/UDP socket of the system.
//
// Everything runs on the thread that created the socket, driven by its Qt
// event loop. Operations start the work and return; outcomes arrive as events
// (std::function members, fired only when assigned) from the loop.
//
// Client:
//     auto* socket = new TWSocket(owner);                 // owner: any QObject, or nullptr
//     socket->OnSessionConnected = [](TCustomWSocket* s, quint16 error) { ... };   // error 0 = connected
//     socket->OnDataAvailable = [](TCustomWSocket* s, quint16) {
//         char buffer[4096];
//         int n = s->Receive(buffer, sizeof buffer);  // > 0 bytes, 0 peer closed, < 0 see LastError()
//     };
//     socket->OnSessionClosed = [](TCustomWSocket* s, quint16 error) { ... };      // once per connection
//     socket->SetProto("tcp"); socket->SetAddr("127.0.0.1"); socket->SetPort("5038");
//     socket->Connect();
//     socket->SendText("Action: Ping\r\n\r\n");  // queued; OnDataSent fires from the loop once all left
//
// Every close resets Addr, Port, Proto, LocalAddr and LocalPort to "not
// assigned"/defaults (the texts stay readable): set them again before each Connect.
//
// Server (TCP):
//     listener->SetProto("tcp"); listener->SetAddr("127.0.0.1"); listener->SetPort("0");
//     listener->OnSessionAvailable = [&](TCustomWSocket* l, quint16) {
//         auto* client = new TWSocket(owner);
//         client->OnDataAvailable = ...;           // assign handlers before Dup
//         client->Dup(l->Accept());                // state wsConnected, no OnSessionConnected
//     };
//     listener->Listen();                           // wsBound then wsListening
//     QByteArray port = listener->BoundPort();      // the port chosen by the system
//
// UDP: Proto "udp" then Listen (receiver, OnDataAvailable + ReceiveFrom) or
// Connect (sender: Send goes to Addr:Port; SendTo for any destination).
//
// Errors: with OnError assigned it is called and LastError() holds the Winsock
// code; without it ESocketException (a std::runtime_error) is thrown with a text
// such as "Error 10057 in function Send\r\nSocket is not connected". Exceptions
// escaping handlers fired from the loop go to OnBgException (the socket is
// aborted unless the handler clears canClose), except those of OnDataAvailable,
// which are discarded.
//
// TLS (SetTls(true) before Connect; TlsHostName, default Addr, is the name the
// certificate must carry; Trust() adds trusted fingerprints and authorities):
// OnSessionConnected(0) comes once the certificate is accepted, and from then
// on Receive, ReceiveText and line mode give plaintext and Send encrypts. A
// refusal comes as OnTlsError(code, text) then OnSessionConnected and
// OnSessionClosed with the code; TlsPeerCheck() keeps the fingerprint and the
// reason. See tlslayer.h.
//
// Line mode (SetLineMode(true)): OnDataAvailable fires once per received line
// ending with LineEnd ("\r\n" by default), and ReceiveText returns that line.
// WaitForFlag and RunAndWait keep the event loop going, asleep between events,
// until a handler sets the flag.
//
// Handlers may close, reconnect or delete the socket (prefer ReleaseLater() to
// delete it from its own handler); the socket checks before touching itself again.

#include "net/customsyncwsocket.h"

class TWSocket : public TCustomSyncWSocket
{
public:
    explicit TWSocket(QObject* owner = nullptr);
};
