#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The first line of a manager session, "Asterisk Call Manager/2.10.4": its
// major number tells a manager of Asterisk 12 or later (2 and up). Read from
// the session's first bytes, at most LongestBanner of them.
class ManagerBanner
{
public:
    static const QByteArray Start;
    static constexpr qsizetype LongestBanner = 256;

    // Takes received text until the first line is complete.
    void read(QByteArrayView text);
    // A new session: nothing read yet.
    void reset();
    // 0 while unknown, or when the first line is no manager's banner.
    int version() const { return m_version; }

private:
    QByteArray m_line;
    bool m_read = false;
    int m_version = 0;
};
