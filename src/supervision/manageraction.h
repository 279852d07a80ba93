#pragma once

#include <QByteArray>
#include <QByteArrayView>

// One manager action as it goes on the wire: header lines "Name: value\r\n", the
// first one naming the action, closed by an empty line. Values are inserted as
// typed, except that CR and LF are removed: a value taken from a typed field, a
// forwarded agenda link or event text must not be able to add headers or whole
// actions to the session.
class ManagerAction
{
public:
    explicit ManagerAction(QByteArrayView action);

    ManagerAction& header(QByteArrayView name, QByteArrayView value);
    QByteArray text() const;

private:
    QByteArray lines;
};
