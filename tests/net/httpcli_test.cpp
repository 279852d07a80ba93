// The HTTP client against a real HTTP/1.0 server on loopback (files,
// relocations, credentials, posts, a stall) and against a plain peer that
// answers in scripted pieces for what servers do not do on demand.
#include "httpserverprocess.h"
#include "net/ehttpexception.h"
#include "net/httpcli.h"
#include "net/quitrequest.h"
#include "net/winsockerror.h"
#include "net/wsocket.h"
#include "nginxprocess.h"
#include "plainpeer.h"
#include "socksproxy.h"
#include "tlscertificates.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace {

const QByteArray List = "100;Accueil\r\n101;Compta\r\n";

// A real server with the files the requests ask for.
struct HttpServer : HttpServerProcess
{
    HttpServer()
    {
        serve(QStringLiteral("files/list.txt"), List);
        serve(QStringLiteral("bare/list.txt"), "bare list\n");
        start();
    }
};

struct Outcome
{
    int status = 0;
    QByteArray reason;
    QByteArray body;
    QByteArray documentName;
    int docBegins = 0;
    bool raised = false;
};

// Runs one synchronous request and notes what came of it.
Outcome RunRequest(THttpCli& client, THttpRequest type)
{
    Outcome outcome;
    QBuffer body;
    body.open(QIODevice::WriteOnly);
    client.ReceiveStream = &body;
    client.OnDocBegin = [&](THttpCli*) { ++outcome.docBegins; };
    try {
        client.RunRequest(type);
    } catch (const EHttpException& e) {
        outcome.raised = true;
        EXPECT_EQ(e.ErrorCode(), client.Status);
    }
    outcome.status = client.Status;
    outcome.reason = client.Reason;
    outcome.body = body.data();
    outcome.documentName = client.DocumentName;
    return outcome;
}

struct ServerCase
{
    const char* name;
    QByteArray path;
    QByteArray credentials;
    THttpRequest type;
    int status;
    QByteArray body;
    QByteArray reason;
    QByteArray documentName;
};

class HttpCliServer : public ::testing::TestWithParam<ServerCase>
{
};

TEST_P(HttpCliServer, RequestEndsWithTheExpectedStatusAndDocument)
{
    const ServerCase& c = GetParam();
    HttpServer server;
    ASSERT_NE(server.port(), 0);
    THttpCli client;
    client.URL = server.url(c.path, c.credentials);
    QBuffer posted;
    posted.setData("name=Dupont");
    posted.open(QIODevice::ReadOnly);
    client.PostStream = &posted;
    const Outcome outcome = RunRequest(client, c.type);
    EXPECT_EQ(outcome.status, c.status);
    // An error document is read no further than what came with its header.
    if (c.status < 400) {
        EXPECT_EQ(outcome.body, c.body);
    }
    EXPECT_EQ(outcome.raised, c.status >= 400);
    if (!c.reason.isEmpty()) {
        EXPECT_EQ(outcome.reason, c.reason);
    }
    if (!c.documentName.isEmpty()) {
        EXPECT_EQ(outcome.documentName, c.documentName);
    }
    EXPECT_EQ(client.RequestState(), httpReady);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, HttpCliServer,
    ::testing::Values(
        ServerCase{"File", "/files/list.txt", "", httpGET, 200, List, "OK", "list.txt"},
        ServerCase{"Head", "/files/list.txt", "", httpHEAD, 200, "", "OK", "list.txt"},
        ServerCase{"Missing", "/files/none.txt", "", httpGET, 404, "", "File not found", "none.txt"},
        ServerCase{"RootedRelocation", "/rooted", "", httpGET, 200, List, "OK", "list.txt"},
        ServerCase{"AbsoluteRelocation", "/absolute", "", httpGET, 200, List, "OK", "list.txt"},
        ServerCase{"BareNameRelocation", "/bare/start", "", httpGET, 200, "bare list\n", "OK", "list.txt"},
        ServerCase{"RelocationLoop", "/loop", "", httpGET, 404, "", "too many relocations (more than 20)", ""},
        ServerCase{"CredentialsInTheUrl", "/private", "agent:s3cret@", httpGET, 200, "welcome\n", "OK", ""},
        ServerCase{"NoCredentials", "/private", "", httpGET, 401, "", "Unauthorized", ""},
        ServerCase{"Post", "/post", "", httpPOST, 200, "posted:name=Dupont", "OK", ""}),
    [](const ::testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

// A name list of about 5 MB, as a large office's directory would be.
QByteArray LargeNameList()
{
    QByteArray list;
    for (int i = 0; list.size() < 5 * 1024 * 1024; ++i)
        list += "06" + QByteArray::number(10000000 + i) + "=Abonn\xe9 num\xe9ro " + QByteArray::number(i) + "\r\n";
    return list;
}

struct NginxCase
{
    const char* name;
    QByteArray path;
    QByteArray credentials;
    int status;
    QByteArray reason;
    qint64 docLength; // of a document that came
};

class HttpCliNginx : public ::testing::TestWithParam<NginxCase>
{
};

TEST_P(HttpCliNginx, RequestEndsAsTheServerAnswered)
{
    const NginxCase& c = GetParam();
    static const QByteArray large = LargeNameList();
    NginxProcess nginx;
    ASSERT_TRUE(nginx.serve(QStringLiteral("list.txt"), List));
    ASSERT_TRUE(nginx.serve(QStringLiteral("nolength.txt"), List));
    ASSERT_TRUE(nginx.serve(QStringLiteral("private/list.txt"), List));
    ASSERT_TRUE(nginx.serve(QStringLiteral("empty.txt"), QByteArray()));
    ASSERT_TRUE(nginx.serve(QStringLiteral("large.txt"), large));
    ASSERT_EQ(nginx.start(), QString());
    THttpCli client;
    client.URL = nginx.url(c.path, c.credentials);
    const Outcome outcome = RunRequest(client, httpGET);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.reason, c.reason);
    if (c.status < 400) {
        EXPECT_EQ(client.DocLength, c.docLength);
        const QByteArray& expected = c.path == "/large.txt" ? large : c.path == "/empty.txt" ? QByteArray() : List;
        EXPECT_TRUE(outcome.body == expected) << outcome.body.size() << " bytes of " << expected.size();
        EXPECT_EQ(outcome.docBegins, expected.isEmpty() ? 0 : 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HttpCliNginx,
    ::testing::Values(NginxCase{"LargeList", "/large.txt", "", 200, "OK", LargeNameList().size()},
                      NginxCase{"LengthZero", "/empty.txt", "", 200, "OK", 0},
                      NginxCase{"NoLength", "/nolength.txt", "", 200, "OK", -1},
                      NginxCase{"MovedToARootedPath", "/old", "", 200, "OK", List.size()},
                      NginxCase{"FoundAtAnAbsoluteAddress", "/elsewhere", "", 200, "OK", List.size()},
                      NginxCase{"RelocationLoop", "/loop", "", 404, "too many relocations (more than 20)", -1},
                      NginxCase{"Missing", "/none.txt", "", 404, "Not Found", -1},
                      NginxCase{"Credentials", "/private/list.txt", "agent:s3cret@", 200, "OK", List.size()},
                      NginxCase{"NoCredentials", "/private/list.txt", "", 401, "Unauthorized", -1}),
    [](const ::testing::TestParamInfo<NginxCase>& info) { return std::string(info.param.name); });

namespace {

struct SecureCase
{
    const char* name;
    QByteArray url; // "https:" or "http:" then the path on that server
    bool trusted;   // the client trusts the server's authority
    int status;
    QByteArray reason; // part of it
    QByteArray scheme; // of the address the document came from
};

void PrintTo(const SecureCase& row, std::ostream* out)
{
    *out << row.name;
}

class HttpCliNginxTls : public ::testing::TestWithParam<SecureCase>
{
};

} // namespace

TEST_P(HttpCliNginxTls, RequestEndsAsTheServerAnsweredOverTls)
{
    const SecureCase& c = GetParam();
    static const QByteArray large = LargeNameList();
    TlsCertificates certificates;
    ASSERT_EQ(certificates.CreateServer(QStringLiteral("nginx")), QString());
    NginxProcess nginx;
    ASSERT_TRUE(nginx.serve(QStringLiteral("list.txt"), List));
    ASSERT_TRUE(nginx.serve(QStringLiteral("private/list.txt"), List));
    ASSERT_TRUE(nginx.serve(QStringLiteral("large.txt"), large));
    nginx.enableTls(certificates.CertificatePath(QStringLiteral("nginx")),
                    certificates.KeyPath(QStringLiteral("nginx")));
    ASSERT_EQ(nginx.start(), QString());
    THttpCli client;
    const QByteArray path = c.url.mid(c.url.indexOf(':') + 1);
    client.URL = c.url.startsWith("https:") ? nginx.secureUrl(path) : nginx.url(path);
    if (c.trusted)
        client.Trust.SetCaFile(certificates.AuthorityPath());
    const Outcome outcome = RunRequest(client, httpGET);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_TRUE(outcome.reason.contains(c.reason)) << outcome.reason.toStdString();
    if (c.status < 400) {
        const QByteArray& expected = path == "/large.txt" ? large : List;
        EXPECT_TRUE(outcome.body == expected) << outcome.body.size() << " bytes of " << expected.size();
        EXPECT_TRUE(client.CurrentLocation.startsWith(c.scheme + "://")) << client.CurrentLocation.toStdString();
    }
    if (!c.trusted) {
        const QByteArray fingerprint = certificates.Fingerprint(QStringLiteral("nginx"));
        EXPECT_TRUE(outcome.reason.contains(fingerprint)) << outcome.reason.toStdString();
        EXPECT_EQ(client.CtrlSocket()->TlsPeerCheck().fingerprint, fingerprint);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HttpCliNginxTls,
    ::testing::Values(SecureCase{"ListOverHttps", "https:/list.txt", true, 200, "OK", "https"},
                      SecureCase{"LargeListOverHttps", "https:/large.txt", true, 200, "OK", "https"},
                      SecureCase{"RelocatedFromHttpToHttps", "http:/secure", true, 200, "OK", "https"},
                      // The credentials of the relocation's own address would go out in clear.
                      SecureCase{"RelocatedFromHttpsToHttpWithoutCredentials", "https:/insecure", true, 401,
                                 "Unauthorized", "http"},
                      SecureCase{"UnknownAuthority", "https:/list.txt", false, 404,
                                 "TLS certificate refused (unable to get local issuer certificate)", ""}),
    [](const ::testing::TestParamInfo<SecureCase>& info) { return std::string(info.param.name); });

namespace {

// A TLS server of one answer that closes without its close_notify, as a
// connection cut by someone in between would end.
const char* const CuttingServer = R"(import socket, ssl, sys
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
print(listener.getsockname()[1], flush=True)
connection, _ = listener.accept()
session = context.wrap_socket(connection, server_side=True)
session.recv(65536)
session.sendall(sys.argv[3].encode())
session.close()
)";

struct CutCase
{
    const char* name;
    QByteArray answer;
    int status;
    QByteArray reason; // part of it
};

void PrintTo(const CutCase& row, std::ostream* out)
{
    *out << row.name;
}

class HttpCliTlsCut : public ::testing::TestWithParam<CutCase>
{
};

} // namespace

TEST_P(HttpCliTlsCut, EndWithoutCloseNotify_FailsADocumentThatMayBeCutShort)
{
    const CutCase& c = GetParam();
    TlsCertificates certificates;
    ASSERT_EQ(certificates.CreateServer(QStringLiteral("cut")), QString());
    QProcess server;
    server.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(CuttingServer),
                  certificates.CertificatePath(QStringLiteral("cut")), certificates.KeyPath(QStringLiteral("cut")),
                  QString::fromLatin1(c.answer)});
    ASSERT_TRUE(server.waitForReadyRead(15000)) << server.readAllStandardError().toStdString();
    const QByteArray port = server.readLine().trimmed();
    THttpCli client;
    client.URL = "https://127.0.0.1:" + port + "/list.txt";
    client.Trust.SetCaFile(certificates.AuthorityPath());
    const Outcome outcome = RunRequest(client, httpGET);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_TRUE(outcome.reason.contains(c.reason)) << outcome.reason.toStdString();
    EXPECT_EQ(client.DoneError(), c.status == 200 ? 0 : TlsTruncated);
    server.waitForFinished(15000);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HttpCliTlsCut,
    ::testing::Values(
        CutCase{"WithoutLength", "HTTP/1.0 200 OK\r\n\r\n" + List, 404,
                "TLS connection closed without the server's close_notify (Error #20106)"},
        CutCase{"ShorterThanItsLength", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + List, 404, "close_notify"},
        CutCase{"WholeByItsLength",
                "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(List.size()) + "\r\n\r\n" + List, 200,
                "OK"}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return std::string(info.param.name); });

TEST(HttpCli, GetThroughASocks5Proxy_BringsTheDocument)
{
    HttpServer server;
    SocksProxy proxy(SocksProxy::MicrosocksUsercode);
    ASSERT_EQ(proxy.Start(), QString());
    THttpCli client;
    client.URL = server.url("/files/list.txt");
    client.SocksServer = "127.0.0.1";
    client.SocksPort = proxy.PortText();
    client.SocksUsercode = SocksProxy::Usercode;
    client.SocksPassword = SocksProxy::Password;
    client.SocksAuthentication = socksAuthenticateUsercode;
    const Outcome outcome = RunRequest(client, httpGET);
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.body, List);

    client.SocksPassword = "wrong";
    const Outcome refused = RunRequest(client, httpGET);
    EXPECT_EQ(refused.status, 404);
    EXPECT_TRUE(refused.reason.endsWith("(Error #20015)")) << refused.reason.constData();
}

// Reads the request, then sends each piece after a pause, then closes.
struct ScriptedAnswer
{
    std::vector<std::string> pieces;

    void operator()(int fd) const
    {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            request.append(buffer, size_t(n));
        }
        for (const std::string& piece : pieces) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
        }
    }
};

struct PeerCase
{
    const char* name;
    std::vector<std::string> pieces;
    int status;
    QByteArray body;
    QByteArray docType;
    int docBegins;
};

class HttpCliPeer : public ::testing::TestWithParam<PeerCase>
{
};

TEST_P(HttpCliPeer, AnswerInPieces_IsReadAsAServerWouldMeanIt)
{
    const PeerCase& c = GetParam();
    PlainPeer peer(ScriptedAnswer{c.pieces});
    THttpCli client;
    client.URL = "http://127.0.0.1:" + QByteArray::number(peer.Port()) + "/doc";
    client.StallTimeoutMs = 5000;
    const Outcome outcome = RunRequest(client, httpGET);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.body, c.body);
    EXPECT_EQ(client.DocType, c.docType);
    EXPECT_EQ(outcome.docBegins, c.docBegins);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, HttpCliPeer,
    ::testing::Values(
        PeerCase{"NoHeaderKeepsItsLineEnds",
                 {"<html>\r\n<b>hi</b>\r\nbye\n"},
                 0,
                 "<html>\r\n<b>hi</b>\r\nbye\n",
                 "text/html",
                 1},
        PeerCase{
            "LineFeedsOnly", {"HTTP/1.0 200 OK\nContent-Type: Text/Plain\n\nbody\n"}, 200, "body\n", "text/plain", 1},
        PeerCase{
            "HeaderCutAcrossReads", {"HTTP/1.1 200 OK\r\nContent-Le", "ngth: 4\r\n\r", "\nbody"}, 200, "body", "", 1},
        PeerCase{"ClosedInsideTheHeader", {"HTTP/1.0 200 OK\r\nContent-Type: te"}, 200, "", "", 0},
        PeerCase{"LengthZero", {"HTTP/1.0 204 No Content\r\nContent-Length: 0\r\n\r\n"}, 204, "", "", 0},
        PeerCase{"LineTooLong", {std::string(9000, 'x')}, 404, "", "", 0}),
    [](const ::testing::TestParamInfo<PeerCase>& info) { return std::string(info.param.name); });

TEST(HttpCli, DocumentNames_FollowThePathAndTheType)
{
    THttpCli client;
    client.URL = "http://127.0.0.1:1/a/";
    client.LocalAddr = "0.0.0.0";
    // The name is derived when the request starts; the refused connection
    // ends it right after.
    const Outcome directory = RunRequest(client, httpGET);
    EXPECT_EQ(directory.documentName, "document.htm");
    client.URL = "http://127.0.0.1:1/a/b.cgi?x=1";
    EXPECT_EQ(RunRequest(client, httpGET).documentName, "b.cgi");
    EXPECT_EQ(client.Status, 404);
    EXPECT_TRUE(client.Reason.endsWith("(Error #10061)")) << client.Reason.constData();
}

struct GetCase
{
    const char* name;
    QStringList arguments; // "%url", "%missing" and "%trickle" stand for the server's documents
    int exitCode;
    QByteArray output;
    QByteArray statusLine;
};

class CorvalineGet : public ::testing::TestWithParam<GetCase>
{
};

TEST_P(CorvalineGet, PrintsTheDocumentAndTheStatusAndExitsAsTheRequestWent)
{
    const GetCase& c = GetParam();
    HttpServer server;
    QStringList arguments;
    for (const QString& argument : c.arguments) {
        if (argument == QStringLiteral("%url"))
            arguments << QString::fromLatin1(server.url("/files/list.txt"));
        else if (argument == QStringLiteral("%missing"))
            arguments << QString::fromLatin1(server.url("/files/none.txt"));
        else if (argument == QStringLiteral("%trickle"))
            arguments << QString::fromLatin1(server.url("/trickle"));
        else
            arguments << argument;
    }
    QProcess get;
    get.start(QStringLiteral(CORVALINE_GET_PATH), arguments);
    ASSERT_TRUE(get.waitForFinished(30000));
    EXPECT_EQ(get.exitCode(), c.exitCode);
    // An error document is read no further than what came with its header.
    if (c.exitCode != 1) {
        EXPECT_EQ(get.readAllStandardOutput(), c.output);
    }
    EXPECT_TRUE(get.readAllStandardError().startsWith(c.statusLine));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CorvalineGet,
    ::testing::Values(GetCase{"Document", {QStringLiteral("%url")}, 0, List, "HTTP/1.0 200 OK\n"},
                      GetCase{"Header", {QStringLiteral("--head"), QStringLiteral("%url")}, 0, "", "HTTP/1.0 200 OK\n"},
                      GetCase{"Missing", {QStringLiteral("%missing")}, 1, "", "HTTP/1.0 404 File not found\n"},
                      GetCase{"NoUrl", {}, 2, "", "corvaline-get: give one URL"},
                      GetCase{"MaxTime",
                              {QStringLiteral("--max-time"), QStringLiteral("1"), QStringLiteral("%trickle")},
                              1,
                              "",
                              "HTTP/1.0 404 request not over after 1000 ms\n"},
                      GetCase{"BadSocksLevel",
                              {QStringLiteral("--socks"), QStringLiteral("127.0.0.1:1080"),
                               QStringLiteral("--socks-level"), QStringLiteral("6"), QStringLiteral("%url")},
                              2,
                              "",
                              "corvaline-get: --socks-level wants 4, 4A or 5"}),
    [](const ::testing::TestParamInfo<GetCase>& info) { return std::string(info.param.name); });

} // namespace

// Requests against the hostile answers of the test server.
struct HostileCase
{
    const char* name;
    QByteArray path; // on the first server; %OTHER% names the second one's port
    QByteArray credentials;
    bool raised;
    QByteArray reason;  // when raised
    QByteArray present; // in the document (the second server's echo), %OTHER% as above
    QByteArray absent;  // not in the document
};

class HttpCliHostile : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(HttpCliHostile, RequestEndsAsASoundClientMeansIt)
{
    const HostileCase& c = GetParam();
    HttpServer first;
    HttpServer other;
    const QByteArray otherPort = QByteArray::number(other.port());
    THttpCli client;
    client.URL = first.url(QByteArray(c.path).replace("%OTHER%", otherPort), c.credentials);
    const Outcome outcome = RunRequest(client, httpGET);
    EXPECT_EQ(outcome.raised, c.raised) << outcome.reason.toStdString();
    if (c.raised) {
        EXPECT_EQ(outcome.reason, c.reason);
    }
    QByteArray present = c.present;
    present.replace("%OTHER%", otherPort).replace("%FIRST%", QByteArray::number(first.port()));
    EXPECT_TRUE(outcome.body.contains(present)) << outcome.body.toStdString();
    if (!c.absent.isEmpty()) {
        EXPECT_FALSE(outcome.body.contains(c.absent)) << outcome.body.toStdString();
    }
    EXPECT_EQ(client.RequestState(), httpReady);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, HttpCliHostile,
    ::testing::Values(HostileCase{"CredentialsStayWithTheirSite", "/same-site", "agent:s3cret@", false, "",
                                  "Authorization: Basic YWdlbnQ6czNjcmV0", ""},
                      HostileCase{"CredentialsDroppedForAnotherPort", "/elsewhere?to=%OTHER%", "agent:s3cret@", false,
                                  "", "GET /echo", "Authorization"},
                      HostileCase{"HostLineCarriesTheNonDefaultPort", "/elsewhere?to=%OTHER%", "", false, "",
                                  "Host: 127.0.0.1:%OTHER%\n", ""},
                      HostileCase{"HostLineOfTheFirstRequestToo", "/echo", "", false, "", "Host: 127.0.0.1:%FIRST%\n",
                                  ""},
                      HostileCase{"LocationWithACarriageReturnIsRefused", "/control-cr", "", true,
                                  "relocation refused: control character in its address", "", "X-Injected"},
                      HostileCase{"LocationWithADeleteIsRefused", "/control-del", "", true,
                                  "relocation refused: control character in its address", "", "GET /echo"},
                      HostileCase{"EndlessHeaderEndsAtItsBound", "/endless-header", "", true,
                                  "HTTP header too long (more than 65536 bytes)", "", ""}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// A server that sends nothing ends the request at the stall limit; one that
// sends a byte a second never falls silent that long, and the request's own
// deadline ends it all the same.
struct EndlessCase
{
    const char* name;
    const char* path;
    int THttpCli::*limit;
    const char* reason;
};

class HttpCliEndless : public ::testing::TestWithParam<EndlessCase>
{
};

TEST_P(HttpCliEndless, RequestEndsAtItsLimit)
{
    HttpServer server;
    THttpCli client;
    client.URL = server.url(GetParam().path);
    client.*GetParam().limit = 2500;
    const Outcome outcome = RunRequest(client, httpGET);
    EXPECT_TRUE(outcome.raised);
    EXPECT_EQ(outcome.status, 404);
    EXPECT_EQ(outcome.reason, GetParam().reason);
    EXPECT_EQ(client.DoneError(), WSAETIMEDOUT);
    EXPECT_EQ(client.RequestState(), httpReady);
}

INSTANTIATE_TEST_SUITE_P(Servers, HttpCliEndless,
                         ::testing::Values(EndlessCase{"Silent", "/stall", &THttpCli::StallTimeoutMs,
                                                       "no answer from the server for 2500 ms"},
                                           EndlessCase{"Trickling", "/trickle", &THttpCli::RequestTimeoutMs,
                                                       "request not over after 2500 ms"}),
                         [](const ::testing::TestParamInfo<EndlessCase>& info) {
                             return std::string(info.param.name);
                         });

// The quit request comes from inside the wait's event loop, as the program's
// termination watcher or the application's Quit event bring it.
class HttpCliQuit : public ::testing::TestWithParam<std::pair<const char*, std::function<void()>>>
{
protected:
    void TearDown() override { QuitRequest::resetForTests(); }
};

TEST_P(HttpCliQuit, QuitRequestEndsADownloadUnderWayAtOnce)
{
    HttpServer server;
    THttpCli client;
    client.URL = server.url("/trickle");
    QTimer::singleShot(300, GetParam().second);
    const Outcome outcome = RunRequest(client, httpGET);
    EXPECT_TRUE(outcome.raised);
    EXPECT_EQ(outcome.reason, "request abandoned: the program is quitting");
    EXPECT_EQ(client.RequestState(), httpReady);
}

// Swallows the Quit event once the quit request has seen it: the test's
// application is not running exec() and has nothing to leave.
class QuitSwallower : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Quit; }
};

INSTANTIATE_TEST_SUITE_P(
    Sources, HttpCliQuit,
    ::testing::Values(std::make_pair("Raised", std::function<void()>([] { QuitRequest::raise(); })),
                      std::make_pair("ApplicationQuit", std::function<void()>([] {
                                         static QuitSwallower swallower;
                                         QCoreApplication::instance()->installEventFilter(&swallower);
                                         QuitRequest::followApplicationQuit();
                                         QEvent quit(QEvent::Quit);
                                         QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
                                     }))),
    [](const auto& info) { return std::string(info.param.first); });

struct SecureGetCase
{
    const char* name;
    QStringList options; // "%authority" and "%fingerprint" stand for the server's
    int exitCode;
};

class CorvalineGetTls : public ::testing::TestWithParam<SecureGetCase>
{
};

TEST_P(CorvalineGetTls, FetchesOverHttpsWhatItIsToldToTrust)
{
    const SecureGetCase& c = GetParam();
    TlsCertificates certificates;
    ASSERT_EQ(certificates.CreateServer(QStringLiteral("nginx")), QString());
    const QByteArray fingerprint = certificates.Fingerprint(QStringLiteral("nginx"));
    NginxProcess nginx;
    ASSERT_TRUE(nginx.serve(QStringLiteral("list.txt"), List));
    nginx.enableTls(certificates.CertificatePath(QStringLiteral("nginx")),
                    certificates.KeyPath(QStringLiteral("nginx")));
    ASSERT_EQ(nginx.start(), QString());
    QStringList arguments;
    for (const QString& option : c.options)
        arguments << (option == QStringLiteral("%authority")     ? certificates.AuthorityPath()
                      : option == QStringLiteral("%fingerprint") ? QString::fromLatin1(fingerprint.toLower())
                                                                 : option);
    QProcess get;
    get.start(QStringLiteral(CORVALINE_GET_PATH), arguments << QString::fromLatin1(nginx.secureUrl("/list.txt")));
    ASSERT_TRUE(get.waitForFinished(30000));
    EXPECT_EQ(get.exitCode(), c.exitCode);
    const QByteArray statusLine = get.readAllStandardError();
    if (c.exitCode == 0) {
        EXPECT_EQ(get.readAllStandardOutput(), List);
        EXPECT_EQ(statusLine, "HTTP/1.1 200 OK\n");
    } else {
        EXPECT_TRUE(statusLine.contains("TLS certificate refused") && statusLine.contains(fingerprint))
            << statusLine.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trust, CorvalineGetTls,
    ::testing::Values(SecureGetCase{"Nothing", {}, 1},
                      SecureGetCase{"TheAuthority", {QStringLiteral("--ca-file"), QStringLiteral("%authority")}, 0},
                      SecureGetCase{"TheFingerprint", {QStringLiteral("--trust"), QStringLiteral("%fingerprint")}, 0}),
    [](const ::testing::TestParamInfo<SecureGetCase>& info) { return std::string(info.param.name); });
