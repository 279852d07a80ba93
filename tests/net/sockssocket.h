#pragma once

#include "net/customsockswsocket.h"

#include <QByteArray>
#include <string>
#include <vector>

// The SOCKS layer on its own, as the socket classes above it will hold it.
class SocksSocket : public TCustomSocksWSocket
{
public:
    using TCustomSocksWSocket::SocksPhase;
    using TCustomSocksWSocket::TCustomSocksWSocket;
};

// Records, as readable lines in order, what a connection through a proxy tells its owner.
struct SocksEvents
{
    std::vector<std::string> lines;

    void Attach(TCustomSocksWSocket& socket);
    bool Closed() const;
};

// The owner's view of a negotiation the proxy refused: the proxy reached, the error, then the
// connect and the close that carry its code.
std::vector<std::string> RefusedLines(int code, const std::string& text);

// The lines without the authentication states.
std::vector<std::string> WithoutAuthStates(std::vector<std::string> lines);

// Addr 127.0.0.1 and the port, through the SOCKS proxy at 127.0.0.1 and its port.
void ThroughProxy(TCustomSocksWSocket& socket, const QByteArray& targetPort, const QByteArray& proxyPort,
                  const QByteArray& level);
