// corvaline-get: fetches one document with the program's HTTP client, directly
// or through an HTTP proxy or a SOCKS proxy, over http or https. The status line goes to standard
// error, the document to the file given or to standard output.
//
// Exit status: 0 for a status below 400, 1 for a failed request, 2 for a bad
// command line.

#include "net/ehttpexception.h"
#include "net/httpcli.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <limits>

namespace {

constexpr int BadCommandLine = 2;
constexpr int RequestFailed = 1;

int usageError(const QCommandLineParser& parser, const QString& message)
{
    std::fprintf(stderr, "corvaline-get: %s\n%s", qPrintable(message), qPrintable(parser.helpText()));
    return BadCommandLine;
}

// "host:port" into its two halves; false when either is missing.
bool splitHostPort(const QString& text, QByteArray& host, QByteArray& port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0 || colon == text.size() - 1)
        return false;
    host = text.left(colon).toLatin1();
    port = text.mid(colon + 1).toLatin1();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Fetches one document with Corvaline's HTTP client."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("The document to fetch (http://... or https://...)."));
    const QCommandLineOption output(QStringLiteral("o"), QStringLiteral("Writes the document to FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption head(QStringLiteral("head"), QStringLiteral("Asks for the header only (HEAD)."));
    const QCommandLineOption postData(QStringLiteral("post-data"), QStringLiteral("Posts TEXT (POST)."),
                                      QStringLiteral("TEXT"));
    const QCommandLineOption proxy(QStringLiteral("proxy"), QStringLiteral("Goes through the HTTP proxy HOST:PORT."),
                                   QStringLiteral("HOST:PORT"));
    const QCommandLineOption socks(QStringLiteral("socks"), QStringLiteral("Goes through the SOCKS proxy HOST:PORT."),
                                   QStringLiteral("HOST:PORT"));
    const QCommandLineOption socksLevel(QStringLiteral("socks-level"), QStringLiteral("4, 4A or 5 (default 5)."),
                                        QStringLiteral("LEVEL"), QStringLiteral("5"));
    const QCommandLineOption socksUser(QStringLiteral("socks-user"), QStringLiteral("SOCKS user code."),
                                       QStringLiteral("U"));
    const QCommandLineOption socksPassword(QStringLiteral("socks-password"), QStringLiteral("SOCKS 5 password."),
                                           QStringLiteral("P"));
    const QCommandLineOption maxTime(QStringLiteral("max-time"),
                                     QStringLiteral("Gives up after SECONDS, however the server trickles (default "
                                                    "300; 0: never)."),
                                     QStringLiteral("SECONDS"), QStringLiteral("300"));
    const QCommandLineOption caFile(QStringLiteral("ca-file"),
                                    QStringLiteral("Trusts the authorities of the PEM FILE besides the system's."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption trust(QStringLiteral("trust"),
                                   QStringLiteral("Accepts the server certificate of that SHA-256 FINGERPRINT "
                                                  "(AB:01:...) even if it does not verify; may be repeated."),
                                   QStringLiteral("FINGERPRINT"));
    parser.addOptions(
        {output, head, postData, proxy, socks, socksLevel, socksUser, socksPassword, maxTime, caFile, trust});
    if (!parser.parse(app.arguments()))
        return usageError(parser, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.positionalArguments().size() != 1)
        return usageError(parser, QStringLiteral("give one URL"));
    if (parser.isSet(head) && parser.isSet(postData))
        return usageError(parser, QStringLiteral("--head and --post-data exclude each other"));

    bool secondsGiven = false;
    const int seconds = parser.value(maxTime).toInt(&secondsGiven);
    if (!secondsGiven || seconds < 0 || seconds > std::numeric_limits<int>::max() / 1000)
        return usageError(parser, QStringLiteral("--max-time wants a number of seconds"));

    THttpCli client;
    client.URL = parser.positionalArguments().first().toLatin1();
    client.RequestTimeoutMs = seconds * 1000;
    if (parser.isSet(proxy)) {
        QByteArray host;
        QByteArray port;
        if (!splitHostPort(parser.value(proxy), host, port))
            return usageError(parser, QStringLiteral("--proxy wants HOST:PORT"));
        client.Proxy = host;
        client.ProxyPort = port;
    }
    if (parser.isSet(socks)) {
        if (!splitHostPort(parser.value(socks), client.SocksServer, client.SocksPort))
            return usageError(parser, QStringLiteral("--socks wants HOST:PORT"));
        const QString level = parser.value(socksLevel).toUpper();
        if (level != QStringLiteral("4") && level != QStringLiteral("4A") && level != QStringLiteral("5"))
            return usageError(parser, QStringLiteral("--socks-level wants 4, 4A or 5"));
        client.SocksLevel = level.toLatin1();
        client.SocksUsercode = parser.value(socksUser).toLatin1();
        client.SocksPassword = parser.value(socksPassword).toLatin1();
        if (!client.SocksPassword.isEmpty())
            client.SocksAuthentication = socksAuthenticateUsercode;
    }

    client.Trust.SetCaFile(parser.value(caFile));
    for (const QString& fingerprint : parser.values(trust)) {
        if (!client.Trust.AddTrustedFingerprint(fingerprint.toLatin1()))
            return usageError(parser, QStringLiteral("--trust wants a SHA-256 fingerprint"));
    }

    QFile document;
    const bool opened = parser.isSet(output) ? (document.setFileName(parser.value(output)),
                                                document.open(QIODevice::WriteOnly | QIODevice::Truncate))
                                             : document.open(stdout, QIODevice::WriteOnly);
    if (!opened) {
        std::fprintf(stderr, "corvaline-get: cannot write %s\n", qPrintable(parser.value(output)));
        return RequestFailed;
    }
    client.ReceiveStream = &document;
    QBuffer posted;
    posted.setData(parser.value(postData).toLatin1());
    posted.open(QIODevice::ReadOnly);
    client.PostStream = &posted;

    const THttpRequest type = parser.isSet(head) ? httpHEAD : parser.isSet(postData) ? httpPOST : httpGET;
    int status = 0;
    try {
        client.RunRequest(type);
    } catch (const EHttpException&) {
        status = RequestFailed;
    }
    document.close();
    // The server's own status line, unless the request failed here (no answer, too many relocations...).
    const QByteArray serverLine = client.ResponseHeader.value(0);
    const bool fromServer = serverLine.startsWith("HTTP/") && serverLine.mid(9, 3).toInt() == client.Status;
    const QByteArray statusLine =
        fromServer ? serverLine : "HTTP/1.0 " + QByteArray::number(client.Status) + ' ' + client.Reason;
    std::fprintf(stderr, "%s\n", statusLine.constData());
    return status;
}
