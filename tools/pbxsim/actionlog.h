#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace pbxsim {

// Appends every action the simulator receives, byte for byte, to a file that
// tests and people read while the simulator runs; each write is flushed.
class ActionLog
{
public:
    // Opens (or creates) the file for appending; false with the reason in
    // errorString() when it cannot.
    bool open(const QString& fileName);
    QString errorString() const { return m_file.errorString(); }

    void append(const QByteArray& action);

private:
    QFile m_file;
};

} // namespace pbxsim
