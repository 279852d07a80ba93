#include "supervision/manageraction.h"

namespace {

void appendWithoutLineBreaks(QByteArray& out, QByteArrayView value)
{
    for (char c : value) {
        if (c != '\r' && c != '\n')
            out.append(c);
    }
}

} // namespace

ManagerAction::ManagerAction(QByteArrayView action)
{
    header("Action", action);
}

ManagerAction& ManagerAction::header(QByteArrayView name, QByteArrayView value)
{
    appendWithoutLineBreaks(lines, name);
    lines.append(": ");
    appendWithoutLineBreaks(lines, value);
    lines.append("\r\n");
    return *this;
}

QByteArray ManagerAction::text() const
{
    return lines + "\r\n";
}
