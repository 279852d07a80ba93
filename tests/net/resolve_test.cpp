#include "net/winsockerror.h"
#include "net/wsocketresolve.h"
#include "sockettesthelpers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <netdb.h>

TEST(IsDottedIP, AcceptsFourNumbersWithSurroundingBlanks)
{
    EXPECT_TRUE(IsDottedIP("10.1.2.3"));
    EXPECT_TRUE(IsDottedIP("  10.1.2.3  "));
    EXPECT_TRUE(IsDottedIP("255.255.255.255"));
}

TEST(IsDottedIP, RefusesMalformedTexts)
{
    EXPECT_FALSE(IsDottedIP("10.1.2"));
    EXPECT_FALSE(IsDottedIP("1.2.3.4.5"));
    EXPECT_FALSE(IsDottedIP("256.1.1.1"));
    EXPECT_FALSE(IsDottedIP("1.2.3.256"));
    EXPECT_FALSE(IsDottedIP("1..2.3"));
    EXPECT_FALSE(IsDottedIP("1.2.3."));
    EXPECT_FALSE(IsDottedIP(".1.2.3"));
    EXPECT_FALSE(IsDottedIP("1.2.3.4a"));
    EXPECT_FALSE(IsDottedIP("1.2.3.4 x"));
    EXPECT_FALSE(IsDottedIP(""));
    EXPECT_FALSE(IsDottedIP("1.2.3.99999999999999999999"));
}

TEST(LeadingNumber, ReadsDigitsAfterBlanksUpToTheFirstOther)
{
    EXPECT_EQ(LeadingNumber("  80abc"), 80);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("-5"), 0);
}

TEST(trimBlanks, RemovesBlanksAndControlsAtBothEnds)
{
    EXPECT_EQ(trimBlanks(" \t host \r\n"), QByteArray("host"));
    EXPECT_EQ(trimBlanks("a b"), QByteArray("a b"));
    EXPECT_EQ(trimBlanks("   "), QByteArray());
}

TEST(WSocketResolveHost, DottedAddressesNeverReachTheResolver)
{
    EXPECT_EQ(WSocketResolveHost(" 127.0.0.1 "), ::inet_addr("127.0.0.1"));
    EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
}

TEST(WSocketResolveHost, NamesAreResolved)
{
    EXPECT_EQ(WSocketResolveHost("localhost"), ::inet_addr("127.0.0.1"));
}

TEST(WSocketResolveHost, RefusesEmptyAndOverlongNames)
{
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolveHost(""); }),
              QByteArray("WSocketResolveHost: '' Invalid Hostname."));
    const QByteArray longName(257, 'a');
    EXPECT_EQ(RaisedSocketMessage([&] { WSocketResolveHost(longName); }),
              "WSocketResolveHost: '" + longName + "' Invalid Hostname.");
}

TEST(WSocketResolveHost, OutOfRangeNumbersGoToTheResolverAndFail)
{
    // 300.1.1.1 is not dotted for IsDottedIP: it is looked up as a name, which cannot succeed.
    const QByteArray message = RaisedSocketMessage([] { WSocketResolveHost("300.1.1.1"); });
    EXPECT_TRUE(message.startsWith("WSocketResolveHost: Cannot convert host address '300.1.1.1', Error #"))
        << message.constData();
}

TEST(WSocketResolvePort, NumbersAreTakenWithoutLookup)
{
    EXPECT_EQ(WSocketResolvePort("23", "tcp"), 23);
    EXPECT_EQ(WSocketResolvePort("80abc", "tcp"), 80);
}

TEST(WSocketResolvePort, ServiceNamesAreLookedUp)
{
    EXPECT_EQ(WSocketResolvePort("telnet", "tcp"), 23);
    EXPECT_EQ(WSocketResolvePort("telnet", " "), 23);
}

TEST(WSocketResolvePort, ALeadingBlankMakesTheTextAServiceName)
{
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolvePort(" 23", "tcp"); }),
              QByteArray("WSocketResolvePort: Cannot convert port ' 23', Error #11004"));
}

TEST(WSocketResolvePort, RefusesEmptyOrLongTexts)
{
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolvePort("", "tcp"); }),
              QByteArray("WSocketResolvePort: Invalid Port."));
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolvePort(QByteArray(32, '1'), "tcp"); }),
              QByteArray("WSocketResolvePort: Invalid Port."));
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolvePort("23", ""); }),
              QByteArray("WSocketResolvePort: Invalid Proto."));
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolvePort(QByteArray(31, '1'), "tcp"); }), QByteArray());
}

TEST(WSocketResolveProto, NumbersAndNames)
{
    EXPECT_EQ(WSocketResolveProto("6"), 6);
    EXPECT_EQ(WSocketResolveProto(" 17"), 17);
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto(" udp "), 17);
}

TEST(WSocketResolveProto, RefusesLongAndUnknownProtocols)
{
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolveProto(QByteArray(32, 't')); }),
              QByteArray("WSocketResolveProto: Invalid Protocol."));
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolveProto(""); }),
              QByteArray("WSocketResolveProto: Invalid Protocol."));
    EXPECT_EQ(RaisedSocketMessage([] { WSocketResolveProto(" nosuchproto "); }),
              QByteArray("WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #11004"));
}

TEST(WinsockErrorText, EveryEntryOfTheTable)
{
    const std::pair<int, const char*> table[] = {
        {0, "No Error"},
        {10004, "Interrupted system call"},
        {10009, "Bad file number"},
        {10013, "Permission denied"},
        {10014, "Bad address"},
        {10022, "Invalid argument"},
        {10024, "Too many open files"},
        {10035, "Operation would block"},
        {10036, "Operation now in progress"},
        {10037, "Operation already in progress"},
        {10038, "Socket operation on non-socket"},
        {10039, "Destination address required"},
        {10040, "Message too long"},
        {10041, "Protocol wrong type for socket"},
        {10042, "Protocol not available"},
        {10043, "Protocol not supported"},
        {10044, "Socket type not supported"},
        {10045, "Operation not supported on socket"},
        {10046, "Protocol family not supported"},
        {10047, "Address family not supported by protocol family"},
        {10048, "Address already in use"},
        {10049, "Address not available"},
        {10050, "Network is down"},
        {10051, "Network is unreachable"},
        {10052, "Network dropped connection on reset"},
        {10053, "Connection aborted"},
        {10054, "Connection reset by peer"},
        {10055, "No buffer space available"},
        {10056, "Socket is already connected"},
        {10057, "Socket is not connected"},
        {10058, "Can't send after socket shutdown"},
        {10059, "Too many references: can't splice"},
        {10060, "Connection timed out"},
        {10061, "Connection refused"},
        {10062, "Too many levels of symbolic links"},
        {10063, "File name too long"},
        {10064, "Host is down"},
        {10065, "No route to host"},
        {10066, "Directory not empty"},
        {10067, "Too many processes"},
        {10068, "Too many users"},
        {10069, "Disc quota exceeded"},
        {10070, "Stale NFS file handle"},
        {10071, "Too many levels of remote in path"},
        {10091, "Network sub-system is unusable"},
        {10092, "WinSock DLL cannot support this application"},
        {10093, "WinSock not initialized"},
        {11001, "Host not found"},
        {11002, "Non-authoritative host not found"},
        {11003, "Non-recoverable error"},
        {11004, "No Data"},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(WinsockErrorText(code), QByteArray(text)) << code;
}

TEST(WinsockErrorText, CodesOutsideTheTable)
{
    EXPECT_EQ(WinsockErrorText(12345), QByteArray("Not a WinSock error"));
    EXPECT_EQ(WinsockErrorText(10072), QByteArray("Not a WinSock error"));
    EXPECT_EQ(WinsockErrorText(-1), QByteArray("Not a WinSock error"));
}

TEST(winsockErrorFromPosix, SystemAndResolverErrorsBecomeWinsockCodes)
{
    EXPECT_EQ(winsockErrorFromPosix(0), 0);
    EXPECT_EQ(winsockErrorFromPosix(ECONNREFUSED), 10061);
    EXPECT_EQ(winsockErrorFromPosix(ECONNRESET), 10054);
    EXPECT_EQ(winsockErrorFromPosix(EPIPE), 10054);
    EXPECT_EQ(winsockErrorFromPosix(EWOULDBLOCK), 10035);
    EXPECT_EQ(winsockErrorFromPosix(EAGAIN), 10035);
    EXPECT_EQ(winsockErrorFromPosix(ENOTCONN), 10057);
    EXPECT_EQ(winsockErrorFromPosix(EINPROGRESS), 10036);
    EXPECT_EQ(winsockErrorFromPosix(EADDRINUSE), 10048);
    EXPECT_EQ(winsockErrorFromPosix(ETIMEDOUT), 10060);
    EXPECT_EQ(winsockErrorFromPosix(EHOSTUNREACH), 10065);
    EXPECT_EQ(winsockErrorFromPosix(EINVAL), 10022);
    EXPECT_EQ(winsockErrorFromPosix(EAI_NONAME), 11001);
    EXPECT_EQ(winsockErrorFromPosix(EAI_AGAIN), 11002);
    EXPECT_EQ(winsockErrorFromPosix(EAI_FAIL), 11003);
    EXPECT_EQ(winsockErrorFromPosix(EAI_NODATA), 11004);
    EXPECT_EQ(winsockErrorFromPosix(ENOENT), ENOENT);
}
