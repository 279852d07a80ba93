// The TLS layer of the socket chain against openssl s_server on loopback:
// which certificates it accepts and what it reports of those it refuses,
// plaintext both ways, line mode, and the session inside a SOCKS tunnel.
#include "net/winsockerror.h"
#include "net/wsocket.h"
#include "opensslserver.h"
#include "socksproxy.h"
#include "tlscertificates.h"
#include "waitfor.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using testsupport::waitFor;

namespace {

const QString Server = QStringLiteral("server");
const QString LoopbackNames = QStringLiteral("DNS:localhost,IP:127.0.0.1");

// A TLS client socket and what it tells its owner, in order.
struct TlsClient
{
    TWSocket socket;
    std::vector<std::string> events;
    QByteArray tlsText;
    QByteArrayList lines;
    bool closed = false;

    TlsClient()
    {
        socket.OnTlsError = [this](TCustomWSocket*, int error, const QByteArray& text) {
            events.push_back("tls error " + std::to_string(error));
            tlsText = text;
        };
        socket.OnSessionConnected = [this](TCustomWSocket*, quint16 error) {
            events.push_back("connected " + std::to_string(error));
        };
        socket.OnSessionClosed = [this](TCustomWSocket*, quint16) { closed = true; };
        socket.OnDataAvailable = [this](TCustomWSocket* s, quint16) {
            const QByteArray text = s->ReceiveText();
            if (!text.isEmpty())
                lines.append(text);
        };
        socket.SetLineMode(true);
        socket.SetLineEnd("\n");
        socket.SetTls(true);
    }

    void Connect(quint16 port, const QByteArray& hostName)
    {
        socket.SetTlsHostName(hostName);
        socket.SetProto("tcp");
        socket.SetAddr("127.0.0.1");
        socket.SetPort(QByteArray::number(port));
        socket.Connect();
    }

    bool Settled() const { return closed || !events.empty(); }
};

std::vector<std::string> RefusedEvents(int code)
{
    return {"tls error " + std::to_string(code), "connected " + std::to_string(code)};
}

enum class Trust
{
    Nothing,
    Authority,
    ServerFingerprint,
    FormerFingerprint, // the fingerprint of another certificate the server had before
};

struct CertificateCase
{
    const char* name;
    TlsCertificates::Kind kind;
    QStringList serverArguments;
    QByteArray hostName;
    Trust trust;
    int code; // 0: accepted
    TlsVerdict verdict;
    QByteArray reason; // part of the text of a refusal
};

void PrintTo(const CertificateCase& row, std::ostream* out)
{
    *out << row.name;
}

class TlsServerCertificate : public testing::TestWithParam<CertificateCase>
{
};

} // namespace

TEST_P(TlsServerCertificate, ConnectionIsAcceptedOrRefusedWithTheFingerprintAndTheReason)
{
    const CertificateCase& c = GetParam();
    TlsCertificates certificates;
    ASSERT_EQ(certificates.CreateAuthority(), QString());
    ASSERT_EQ(certificates.Issue(Server, c.kind, LoopbackNames), QString());
    ASSERT_EQ(certificates.Issue(QStringLiteral("former"), TlsCertificates::SelfSigned, LoopbackNames), QString());
    OpenSslServer server;
    ASSERT_EQ(server.Start(certificates.CertificatePath(Server), certificates.KeyPath(Server),
                           c.serverArguments + QStringList{QStringLiteral("-rev")}),
              QString());

    TlsClient client;
    if (c.trust == Trust::Authority)
        client.socket.Trust().SetCaFile(certificates.AuthorityPath());
    const QString trusted = c.trust == Trust::ServerFingerprint   ? Server
                            : c.trust == Trust::FormerFingerprint ? QStringLiteral("former")
                                                                  : QString();
    if (!trusted.isEmpty()) {
        ASSERT_TRUE(client.socket.Trust().AddTrustedFingerprint(certificates.Fingerprint(trusted)));
    }
    client.Connect(server.Port(), c.hostName);
    ASSERT_TRUE(waitFor([&] { return client.Settled(); }));

    if (c.code != 0) {
        EXPECT_EQ(client.events, RefusedEvents(c.code));
        EXPECT_TRUE(waitFor([&] { return client.closed; }));
        EXPECT_TRUE(client.tlsText.contains(c.reason)) << client.tlsText.toStdString();
        if (c.code == TlsCertificateRefused || c.code == TlsCertificateChanged) {
            const QByteArray fingerprint = certificates.Fingerprint(Server);
            EXPECT_EQ(client.socket.TlsPeerCheck().fingerprint, fingerprint);
            EXPECT_TRUE(client.tlsText.contains(fingerprint)) << client.tlsText.toStdString();
            EXPECT_EQ(client.socket.TlsPeerVerdict(), c.verdict);
        }
        EXPECT_TRUE(client.lines.isEmpty());
        return;
    }
    EXPECT_EQ(client.events, std::vector<std::string>{"connected 0"}) << client.tlsText.toStdString();
    EXPECT_EQ(client.socket.TlsPeerVerdict(), c.verdict);
    client.socket.SendText("Corvaline\n");
    ASSERT_TRUE(waitFor([&] { return !client.lines.isEmpty() || client.closed; }));
    EXPECT_EQ(client.lines, QByteArrayList{"enilavroC\n"});
    client.socket.Close();
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsServerCertificate,
                         testing::Values(CertificateCase{"PrivateAuthority",
                                                         TlsCertificates::SignedByAuthority,
                                                         {},
                                                         "localhost",
                                                         Trust::Authority,
                                                         0,
                                                         TlsVerdict::Verified,
                                                         ""},
                                         CertificateCase{"PrivateAuthorityByAddress",
                                                         TlsCertificates::SignedByAuthority,
                                                         {},
                                                         "127.0.0.1",
                                                         Trust::Authority,
                                                         0,
                                                         TlsVerdict::Verified,
                                                         ""},
                                         CertificateCase{"WrongHostName",
                                                         TlsCertificates::SignedByAuthority,
                                                         {},
                                                         "agenda.example",
                                                         Trust::Authority,
                                                         TlsCertificateRefused,
                                                         TlsVerdict::Unknown,
                                                         "hostname mismatch"},
                                         CertificateCase{"UnknownAuthority",
                                                         TlsCertificates::SignedByAuthority,
                                                         {},
                                                         "localhost",
                                                         Trust::Nothing,
                                                         TlsCertificateRefused,
                                                         TlsVerdict::Unknown,
                                                         "unable to get local issuer certificate"},
                                         CertificateCase{"Expired",
                                                         TlsCertificates::Expired,
                                                         {},
                                                         "localhost",
                                                         Trust::Authority,
                                                         TlsCertificateRefused,
                                                         TlsVerdict::Unknown,
                                                         "certificate has expired"},
                                         CertificateCase{"SelfSignedUnknown",
                                                         TlsCertificates::SelfSigned,
                                                         {},
                                                         "localhost",
                                                         Trust::Nothing,
                                                         TlsCertificateRefused,
                                                         TlsVerdict::Unknown,
                                                         "self-signed certificate"},
                                         CertificateCase{"SelfSignedTrustedByFingerprint",
                                                         TlsCertificates::SelfSigned,
                                                         {},
                                                         "localhost",
                                                         Trust::ServerFingerprint,
                                                         0,
                                                         TlsVerdict::TrustedFingerprint,
                                                         ""},
                                         CertificateCase{"ChangedSinceTrusted",
                                                         TlsCertificates::SelfSigned,
                                                         {},
                                                         "localhost",
                                                         Trust::FormerFingerprint,
                                                         TlsCertificateChanged,
                                                         TlsVerdict::Changed,
                                                         "TLS certificate changed"},
                                         CertificateCase{"ServerOfTls10Only", TlsCertificates::SignedByAuthority,
                                                         QStringList{QStringLiteral("-tls1"), QStringLiteral("-cipher"),
                                                                     QStringLiteral("DEFAULT@SECLEVEL=0")},
                                                         "localhost", Trust::Authority, TlsHandshakeFailed,
                                                         TlsVerdict::Unknown, "TLS handshake failed: "}),
                         [](const testing::TestParamInfo<CertificateCase>& info) {
                             return std::string(info.param.name);
                         });

namespace {

// A server of the authority's and a client that trusts it.
struct TrustedPeer
{
    TlsCertificates certificates;
    OpenSslServer server;
    TlsClient client;

    QString Start()
    {
        QString failure = certificates.CreateServer(Server);
        if (failure.isEmpty())
            failure = server.Start(certificates.CertificatePath(Server), certificates.KeyPath(Server),
                                   {QStringLiteral("-rev")});
        client.socket.Trust().SetCaFile(certificates.AuthorityPath());
        return failure;
    }
};

} // namespace

TEST(TlsLayer, LinesSentBeforeTheHandshakeEnds_GoEncryptedAndComeBackOneByOne)
{
    TrustedPeer peer;
    ASSERT_EQ(peer.Start(), QString());
    // Sent as soon as the connection is up, before the handshake: queued until the
    // session is open (s_server would end a handshake that began with clear text).
    peer.client.socket.OnChangeState = [](TCustomWSocket* s, TSocketState, TSocketState state) {
        if (state == wsConnected)
            s->SendText("un\ndeux\ntrois\n");
    };
    peer.client.Connect(peer.server.Port(), "localhost");
    ASSERT_TRUE(waitFor([&] { return peer.client.lines.size() >= 3 || peer.client.closed; }));
    EXPECT_EQ(peer.client.events, std::vector<std::string>{"connected 0"}) << peer.client.tlsText.toStdString();
    EXPECT_EQ(peer.client.lines, (QByteArrayList{"nu\n", "xued\n", "siort\n"}));
    EXPECT_FALSE(peer.client.socket.TlsVersion().isEmpty());
}

TEST(TlsLayer, SessionInsideASocks5Tunnel_StartsOnceTheProxyHasOpenedIt)
{
    const QString unavailable = SocksProxy::Unavailable(SocksProxy::Microsocks);
    if (!unavailable.isEmpty())
        GTEST_SKIP() << unavailable.toStdString();
    SocksProxy proxy(SocksProxy::Microsocks);
    ASSERT_EQ(proxy.Start(), QString());
    TrustedPeer peer;
    ASSERT_EQ(peer.Start(), QString());
    bool socksConnected = false;
    peer.client.socket.OnSocksConnected = [&](TCustomWSocket*, quint16 error) { socksConnected = error == 0; };
    peer.client.socket.SetSocksServer("127.0.0.1");
    peer.client.socket.SetSocksPort(proxy.PortText());
    peer.client.Connect(peer.server.Port(), "localhost");
    ASSERT_TRUE(waitFor([&] { return peer.client.Settled(); }));
    EXPECT_TRUE(socksConnected);
    EXPECT_EQ(peer.client.events, std::vector<std::string>{"connected 0"}) << peer.client.tlsText.toStdString();
    peer.client.socket.SendText("tunnel\n");
    ASSERT_TRUE(waitFor([&] { return !peer.client.lines.isEmpty() || peer.client.closed; }));
    EXPECT_EQ(peer.client.lines, QByteArrayList{"lennut\n"});
}
