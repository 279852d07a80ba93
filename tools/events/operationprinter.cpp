#include "operationprinter.h"

void OperationPrinter::printLine(std::initializer_list<QByteArray> fields)
{
    bool first = true;
    for (const QByteArray& field : fields) {
        if (!first)
            std::fputc('\t', m_out);
        std::fwrite(field.constData(), 1, static_cast<std::size_t>(field.size()), m_out);
        first = false;
    }
    std::fputc('\n', m_out);
}

void OperationPrinter::AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                      const QByteArray& channel)
{
    printLine({QByteArrayLiteral("AddRingingCard"), number, sda, key, channel});
    m_list.AddRingingCard(number, sda, key, channel);
}

void OperationPrinter::ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                                         const QByteArray& channel)
{
    printLine({QByteArrayLiteral("ShowConnectedCall"), number, sda, key, channel});
    m_list.ShowConnectedCall(number, sda, key, channel);
}

void OperationPrinter::OpenCallerAgenda(const QByteArray& key)
{
    printLine({QByteArrayLiteral("OpenCallerAgenda"), key});
    m_list.OpenCallerAgenda(key);
}

void OperationPrinter::RemoveCallCard(const QByteArray& key)
{
    printLine({QByteArrayLiteral("RemoveCallCard"), key});
    m_list.RemoveCallCard(key);
}

void OperationPrinter::challengeRecorded(const QByteArray& value)
{
    printLine({QByteArrayLiteral("Challenge"), value});
}

void OperationPrinter::printCards()
{
    for (const CallCard& card : m_list.cards()) {
        printLine({QByteArrayLiteral("CARD"), card.key,
                   card.answered ? QByteArrayLiteral("answered") : QByteArrayLiteral("ringing"), card.number, card.sda,
                   card.channel});
    }
}
