#include "actionlog.h"

namespace pbxsim {

bool ActionLog::open(const QString& fileName)
{
    m_file.setFileName(fileName);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void ActionLog::append(const QByteArray& action)
{
    if (!m_file.isOpen())
        return;
    m_file.write(action);
    m_file.flush();
}

} // namespace pbxsim
