#include "tempdatafolder.h"

#include <QFile>

namespace {
constexpr char variable[] = "CORVALINE_DATA_DIR";
}

TempDataFolder::TempDataFolder() : m_previous(qgetenv(variable)), m_hadPrevious(qEnvironmentVariableIsSet(variable))
{
    qputenv(variable, QFile::encodeName(m_dir.path()));
}

TempDataFolder::~TempDataFolder()
{
    if (m_hadPrevious)
        qputenv(variable, m_previous);
    else
        qunsetenv(variable);
}

QByteArray TempDataFolder::read(const QString& name) const
{
    QFile file(filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TempDataFolder::write(const QString& name, const QByteArray& content) const
{
    QFile file(filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool TempDataFolder::exists(const QString& name) const
{
    return QFile::exists(filePath(name));
}
