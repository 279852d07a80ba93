// The manager text path of the session: reads cut anywhere, gathered by the reader of manager text, handed to
// the classic and the modern interpretation, each with its own card list.
#include "fuzzsupport.h"
#include "supervision/callcardlist.h"
#include "supervision/classiceventinterpreter.h"
#include "supervision/managertextreader.h"
#include "supervision/moderneventinterpreter.h"

#include <QSet>

using fuzzsupport::check;

namespace {

void checkOneCardPerKey(const CallCardList& list)
{
    QSet<QByteArray> keys;
    for (const CallCard& card : list.cards())
        keys.insert(card.key);
    check(keys.size() == qsizetype(list.cards().size()), "at most one card per key");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto extension = [] { return QByteArrayLiteral("201"); };
    // The classic mode reports what a line holds around "Challenge: ", line feeds included: nothing to check.
    const auto challenge = [](const QByteArray&) {};
    CallCardList classicCards;
    CallCardList modernCards;
    ClassicEventInterpreter classic(classicCards, extension, challenge);
    ModernEventInterpreter modern(modernCards, extension, challenge);
    ManagerTextReader reader([&](const ManagerText& text) {
        classic.interpret(text.text());
        modern.interpret(text.text());
    });
    fuzzsupport::forEachRead(data, size, [&](QByteArrayView read) {
        reader.read(read);
        check(reader.pendingSize() <= ManagerMessageAssembler::MaxPending, "the pending text is bounded");
    });
    reader.finish();
    modern.reset();
    checkOneCardPerKey(classicCards);
    checkOneCardPerKey(modernCards);
    return 0;
}
