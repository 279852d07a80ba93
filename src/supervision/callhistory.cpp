#include "supervision/callhistory.h"

#include "config/atomicfile.h"

#include <QFile>

const QString CallHistory::FileName = QStringLiteral("historique.txt");

namespace {

constexpr char Separator = '\t';
constexpr int FieldCount = 7;
const QString DateFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// A field never holds the separators of the file: a name from the lists or
// the manager could.
QByteArray field(QByteArray text)
{
    for (char& c : text) {
        if (c == Separator || c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

} // namespace

CallHistory::CallHistory(const QString& path) : m_path(path) {}

bool CallHistory::load()
{
    m_records.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        m_unreadable = true;
        return false;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (std::optional<CallRecord> record = recordOf(line))
            m_records.append(*record);
    }
    if (m_records.size() > MaxRecords)
        m_records.remove(0, m_records.size() - MaxRecords);
    return true;
}

bool CallHistory::add(const CallRecord& record)
{
    m_records.append(record);
    if (m_records.size() > MaxRecords)
        m_records.removeFirst();
    if (m_unreadable)
        return false;
    QByteArray content;
    for (const CallRecord& each : std::as_const(m_records))
        content += lineOf(each) + '\n';
    return writeFileAtomically(m_path, content, &m_error);
}

QByteArray CallHistory::lineOf(const CallRecord& record)
{
    const QByteArrayList fields{record.start.toString(DateFormat).toLatin1(),
                                record.direction == CallRecord::Direction::Incoming ? "entrant" : "sortant",
                                field(record.number),
                                field(record.name),
                                field(record.line),
                                record.answered ? "repondu" : "manque",
                                QByteArray::number(record.talkSeconds)};
    return fields.join(Separator);
}

std::optional<CallRecord> CallHistory::recordOf(const QByteArray& line)
{
    const QByteArrayList fields = line.trimmed().split(Separator);
    if (fields.size() != FieldCount)
        return std::nullopt;
    CallRecord record;
    record.start = QDateTime::fromString(QString::fromLatin1(fields[0]), DateFormat);
    bool numeric = false;
    record.talkSeconds = fields[6].toInt(&numeric);
    const bool knownDirection = fields[1] == "entrant" || fields[1] == "sortant";
    const bool knownOutcome = fields[5] == "repondu" || fields[5] == "manque";
    if (!record.start.isValid() || !numeric || record.talkSeconds < 0 || !knownDirection || !knownOutcome)
        return std::nullopt;
    record.direction = fields[1] == "entrant" ? CallRecord::Direction::Incoming : CallRecord::Direction::Placed;
    record.number = fields[2];
    record.name = fields[3];
    record.line = fields[4];
    record.answered = fields[5] == "repondu";
    return record;
}
