#pragma once

#include "supervision/managersession.h"

#include <QObject>
#include <QStringList>

#include <string>

// Every line the session writes to the console's memo, which starts again
// with every message.
class MemoLines
{
public:
    explicit MemoLines(ManagerSession& session)
        : m_connection(QObject::connect(&session, &ManagerSession::memoLine, &session,
                                        [this](const QString& line) { m_lines.append(line); }))
    {}
    ~MemoLines() { QObject::disconnect(m_connection); }
    MemoLines(const MemoLines&) = delete;
    MemoLines& operator=(const MemoLines&) = delete;

    // How many lines hold text.
    qsizetype count(const QString& text) const { return m_lines.filter(text).size(); }
    std::string joined() const { return m_lines.join(QLatin1Char('\n')).toStdString(); }

private:
    QMetaObject::Connection m_connection;
    QStringList m_lines;
};
