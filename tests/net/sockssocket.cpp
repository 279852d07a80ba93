#include "sockssocket.h"

#include <algorithm>

namespace {

std::string AuthStateName(TSocksAuthState state)
{
    static const char* const names[] = {"start", "success", "failure", "not required"};
    return names[state];
}

} // namespace

void SocksEvents::Attach(TCustomSocksWSocket& socket)
{
    socket.OnSocksConnected = [this](TCustomWSocket*, quint16 error) {
        lines.push_back("socks connected " + std::to_string(error));
    };
    socket.OnSocksError = [this](TCustomWSocket*, int error, const QByteArray& msg) {
        lines.push_back("socks error " + std::to_string(error) + " " + msg.toStdString());
    };
    socket.OnSocksAuthState = [this](TCustomWSocket*, TSocksAuthState state) {
        lines.push_back("auth " + AuthStateName(state));
    };
    socket.OnSessionConnected = [this](TCustomWSocket*, quint16 error) {
        lines.push_back("connected " + std::to_string(error));
    };
    socket.OnSessionClosed = [this](TCustomWSocket*, quint16 error) {
        lines.push_back("closed " + std::to_string(error));
    };
}

bool SocksEvents::Closed() const
{
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("closed"); });
}

std::vector<std::string> RefusedLines(int code, const std::string& text)
{
    const std::string number = std::to_string(code);
    return {"socks connected 0", "socks error " + number + " " + text, "connected " + number, "closed " + number};
}

std::vector<std::string> WithoutAuthStates(std::vector<std::string> lines)
{
    std::erase_if(lines, [](const std::string& line) { return line.starts_with("auth"); });
    return lines;
}

void ThroughProxy(TCustomSocksWSocket& socket, const QByteArray& targetPort, const QByteArray& proxyPort,
                  const QByteArray& level)
{
    socket.SetProto("tcp");
    socket.SetAddr("127.0.0.1");
    socket.SetPort(targetPort);
    socket.SetSocksServer("127.0.0.1");
    socket.SetSocksPort(proxyPort);
    socket.SetSocksLevel(level);
}
