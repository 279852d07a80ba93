// The TLS client on bytes that claim to be the server's side of a handshake
// (and of what follows it), cut into reads anywhere, as the socket would hand
// them over. Whatever comes, the engine answers, fails cleanly or goes on.
#include "fuzzsupport.h"
#include "net/tlsengine.h"

using fuzzsupport::check;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::ensureCoreApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TlsEngine engine("agenda.example", QString());
    check(engine.Handshake() == TlsEngine::Negotiating, "the client speaks first and waits");
    check(engine.HasOutput(), "the client speaks first");
    engine.TakeOutput();
    TlsEngine::Progress progress = TlsEngine::Negotiating;
    fuzzsupport::forEachRead(data, size, [&](QByteArrayView read) {
        engine.Feed(read.data(), static_cast<int>(read.size()));
        if (progress == TlsEngine::Negotiating)
            progress = engine.Handshake();
        if (progress == TlsEngine::Established) {
            // No made-up server holds a certificate for that name from an authority of the system's.
            check(!engine.PeerCheck().verified, "a certificate of the input never verifies");
            char plain[512];
            int count = 0;
            while ((count = engine.Read(plain, sizeof plain, false)) > 0)
                check(count <= int(sizeof plain), "a read stays within its buffer");
        }
        engine.TakeOutput();
    });
    check(progress != TlsEngine::Failed || engine.Error() != 0, "a failure has its code");
    check(progress != TlsEngine::Failed || !engine.ErrorText().isEmpty(), "a failure has its text");
    return 0;
}
