#pragma once

#include "channel.h"
#include "eventwriter.h"
#include "managermessage.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <algorithm>
#include <functional>

namespace pbxsim {

// How long the simulated people take, in milliseconds.
struct CallTimings
{
    int ringMs = 4000;  // a phone rings this long before it is picked up
    int talkMs = 8000;  // an answered call lasts this long unless someone hangs up first
    int pauseMs = 6000; // quiet time between two scripted calls
};

// The telephone exchange: its channels, the call steps that change them and the
// manager events each step causes, in the order a real Asterisk sends them.
// Steps that happen later (a phone answering) run from timers and look their
// channels up again by name, since a client may have hung up or moved them in
// the meantime.
//
// The steps of a call are spread out a little, as on a real exchange (the
// dialplan runs, then the phone reports that it rings). In the old and new
// styles each step stays small, for clients that interpret each block of the
// stream they receive on its own; the modern style sends what Asterisk 13 to 22
// send, bursts of tens of kilobytes included.
class SimulatedPbx : public QObject
{
    Q_OBJECT

public:
    // The technology ("SIP" or "PJSIP") names the phones' channels.
    SimulatedPbx(HeaderStyle style, CallTimings timings, QByteArray technology = "SIP", QObject* parent = nullptr);

    const EventWriter& writer() const { return m_writer; }
    const CallTimings& timings() const { return m_timings; }

    // Finds a channel by its full name, without regard to letter case as the
    // manager's channel lookup does; nullptr when there is none.
    const Channel* find(const QByteArray& name) const;
    QList<Channel> channels() const { return m_channels; }

    // The name of the channel that the given one is dialling or has dialled,
    // empty when there is none.
    QByteArray calleeOf(const QByteArray& name) const;

    // A call arrives on the trunk from the caller to a direct-dial (SDA) number;
    // a moment later the dialplan rings the extension (see calleeOf). Returns
    // the name of the caller's trunk channel.
    QByteArray incomingCall(const QByteArray& callerNum, const QByteArray& sda, const QByteArray& extension);

    // The manager's Originate: ring "TECH/resource", and once it answers run
    // the extension of the context (dial the number).
    void originate(const QByteArray& channel, const QByteArray& context, const QByteArray& exten,
                   const QByteArray& callerId);

    // The manager's Redirect of one channel, or of two when extraChannel is not
    // empty. The channels leave their bridges, their former partners are hung
    // up, and they continue in the given extensions.
    void redirect(const QByteArray& channel, const QByteArray& context, const QByteArray& exten,
                  const QByteArray& extraChannel, const QByteArray& extraContext, const QByteArray& extraExten);

    // The manager's BlindTransfer: the party bridged to the channel dials the
    // extension of the context, and the channel is hung up. Nothing happens
    // when the channel talks to nobody.
    void blindTransfer(const QByteArray& channel, const QByteArray& context, const QByteArray& exten);

    void answer(const QByteArray& name);
    void bridge(const QByteArray& first, const QByteArray& second);
    // The channel hangs up. That ends everything that depended on it too: its
    // bridge partner, the channel that dialled it and the channels it was still ringing.
    void hangup(const QByteArray& name);

    // Runs a later step of a call; the step dies with the exchange.
    void after(int milliseconds, std::function<void()> step);

signals:
    void eventRaised(const pbxsim::ManagerMessage& event);

private:
    Channel* findChannel(const QByteArray& name);
    QByteArray createChannel(const QByteArray& techResource, const QByteArray& callerNum, const QByteArray& callerName,
                             const QByteArray& context, const QByteArray& exten,
                             ChannelState state = ChannelState::Down);
    void runTrunkDialplan(const QByteArray& name, const QByteArray& extension);
    QByteArray dial(const QByteArray& source, const QByteArray& techResource, const QByteArray& dialString);
    void dialExtension(const QByteArray& source, const QByteArray& exten);
    void setState(const QByteArray& name, ChannelState state);
    void ringLater(const QByteArray& name);
    int stepMs() const { return std::min(100, m_timings.ringMs / 4); }
    void unbridge(Channel& channel);
    void reportMediaLater(const QByteArray& first, const QByteArray& second);
    void end(const QByteArray& name, bool cancelled = false);
    void raiseDialEnd(const Channel& source, const QByteArray& dialStatus, const Channel* destination = nullptr);
    void endLater(const QByteArray& first, const QByteArray& second);
    QByteArray nextName(const QByteArray& techResource);
    QByteArray nextUniqueId();
    void raise(const ManagerMessage& event) { emit eventRaised(event); }

    EventWriter m_writer;
    CallTimings m_timings;
    QByteArray m_technology;
    QList<Channel> m_channels;
    qint64 m_startSeconds;
    quint32 m_channelSequence = 0;
    quint32 m_uniqueSequence = 0;
};

} // namespace pbxsim
