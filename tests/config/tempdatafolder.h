#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Points the data folder at a fresh temporary folder for the life of a test,
// and puts the variable back as it was afterwards.
class TempDataFolder
{
public:
    TempDataFolder()
        : m_previous(qgetenv("CORVALINE_DATA_DIR")), m_hadPrevious(qEnvironmentVariableIsSet("CORVALINE_DATA_DIR"))
    {
        qputenv("CORVALINE_DATA_DIR", QFile::encodeName(m_dir.path()));
    }
    ~TempDataFolder()
    {
        if (m_hadPrevious)
            qputenv("CORVALINE_DATA_DIR", m_previous);
        else
            qunsetenv("CORVALINE_DATA_DIR");
    }
    TempDataFolder(const TempDataFolder&) = delete;
    TempDataFolder& operator=(const TempDataFolder&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    QByteArray read(const QString& name) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool write(const QString& name, const QByteArray& content) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    bool exists(const QString& name) const { return QFile::exists(filePath(name)); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};
