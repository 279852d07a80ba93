#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One finished call as the history keeps it.
struct CallRecord
{
    enum class Direction
    {
        Incoming,
        Placed
    };

    QDateTime start;
    Direction direction = Direction::Incoming;
    QByteArray number;
    QByteArray name;
    QByteArray line;
    bool answered = false;
    int talkSeconds = 0;

    bool isMissed() const { return direction == Direction::Incoming && !answered; }
    friend bool operator==(const CallRecord&, const CallRecord&) = default;
};

// The history of the last calls, oldest first, kept in a file of the data
// folder: one line per call, its fields separated by tabs, CP1252 bytes:
//   2026-12-08T10:21:47 <TAB> entrant|sortant <TAB> number <TAB> name <TAB>
//   line label <TAB> repondu|manque <TAB> talk seconds
// Every added call rewrites the whole file atomically, so a crash or kill
// loses at most the call that was being added. Lines that cannot be read are
// skipped, so a file edited by hand still loads.
class CallHistory
{
public:
    static constexpr int MaxRecords = 1000;
    static const QString FileName;

    explicit CallHistory(const QString& path);

    // Reads the file; a missing file is an empty history. False when the file
    // exists but cannot be read: it is then never overwritten, and the calls
    // of this run are kept in memory only.
    bool load();
    // Adds the call (the oldest go past MaxRecords) and writes the file. False
    // when the file could not be written: the call is kept in memory and goes
    // with the next write.
    bool add(const CallRecord& record);

    const QList<CallRecord>& records() const { return m_records; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

    static QByteArray lineOf(const CallRecord& record);
    static std::optional<CallRecord> recordOf(const QByteArray& line);

private:
    QString m_path;
    QList<CallRecord> m_records;
    QString m_error;
    bool m_unreadable = false;
};
