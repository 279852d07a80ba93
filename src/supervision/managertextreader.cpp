#include "supervision/managertextreader.h"

void ManagerTextReader::read(QByteArrayView block)
{
    if (QByteArray ready = m_assembler.append(block); !ready.isEmpty())
        m_handOver(ManagerText(std::move(ready)));
}

void ManagerTextReader::finish()
{
    if (QByteArray rest = m_assembler.takePending(); !rest.isEmpty())
        m_handOver(ManagerText(std::move(rest)));
}
