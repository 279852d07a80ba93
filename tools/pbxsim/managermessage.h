#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

namespace pbxsim {

// One block of manager text: header lines closed by an empty line. Used both for
// the actions a client sends and for the replies and events composed here.
class ManagerMessage
{
public:
    // Looks a header up as Asterisk does: the name without regard to letter
    // case, the first occurrence wins, blanks after the colon are skipped.
    QByteArray value(const QByteArray& name) const;
    bool has(const QByteArray& name) const;

    void add(const QByteArray& name, const QByteArray& value);
    const QList<QPair<QByteArray, QByteArray>>& headers() const { return m_headers; }
    bool isEmpty() const { return m_headers.isEmpty(); }

    // The block as sent on the wire: "Name: value\r\n" per header, then "\r\n".
    QByteArray toWire() const;

private:
    QList<QPair<QByteArray, QByteArray>> m_headers;
};

} // namespace pbxsim
