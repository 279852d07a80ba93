#pragma once

#include "actionreader.h"
#include "managermessage.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QTimer>

namespace pbxsim {

class SimulatedPbx;

// What every session of one simulator shares.
struct SessionSettings
{
    QByteArray user;
    QByteArray secret;
    // Blocks of a recorded manager transcript, sent one by one after a login.
    QByteArrayList replayBlocks;
    int replayGapMs = 50;
};

// The manager protocol of one client connection, as plain code: bytes come in
// through receive(), everything for the client leaves through output(). It knows
// nothing of sockets, so the same engine runs over any transport.
class ManagerSession : public QObject
{
    Q_OBJECT

public:
    static constexpr char Banner[] = "Asterisk Call Manager/1.1\r\n";
    // Asterisk 16 and later number their manager protocol 5.x.
    static constexpr char ModernBanner[] = "Asterisk Call Manager/5.0.1\r\n";

    ManagerSession(SimulatedPbx& pbx, const SessionSettings& settings, QObject* parent = nullptr);

    // Greets the client; call once the connection is up.
    void start();
    void receive(const QByteArray& bytes);

    bool loggedIn() const { return m_loggedIn; }

signals:
    void output(const QByteArray& bytes);
    // Every complete action, exactly as the client sent it.
    void actionReceived(const QByteArray& raw);
    // The client said goodbye; the transport closes after sending what is queued.
    void finished();
    // The login was accepted.
    void loggedInNow();

private:
    void handle(const ReceivedAction& action);
    void respond(const ManagerMessage& action, const QByteArray& response,
                 const QList<QPair<QByteArray, QByteArray>>& headers);
    void error(const ManagerMessage& action, const QByteArray& message);
    void success(const ManagerMessage& action, const QByteArray& message);

    void login(const ManagerMessage& action);
    bool validCredentials(const ManagerMessage& action) const;
    void challenge(const ManagerMessage& action);
    void events(const ManagerMessage& action);
    void originate(const ManagerMessage& action);
    void redirect(const ManagerMessage& action);
    void hangup(const ManagerMessage& action);
    void status(const ManagerMessage& action);
    void blindTransfer(const ManagerMessage& action);
    // The named channel of the action, or none after answering the error.
    QByteArray existingChannel(const ManagerMessage& action);

    void setEventMask(const QByteArray& mask);
    bool eventsOn() const { return m_allEvents || !m_eventClasses.isEmpty(); }
    bool wants(const ManagerMessage& event) const;
    void forward(const ManagerMessage& event);
    void replayNext();

    SimulatedPbx& m_pbx;
    const SessionSettings& m_settings;
    ActionReader m_reader;
    bool m_loggedIn = false;
    bool m_allEvents = true;
    QByteArrayList m_eventClasses;
    QByteArray m_challenge;
    QTimer m_replayTimer;
    qsizetype m_replayNext = 0;
};

} // namespace pbxsim
