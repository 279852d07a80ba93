#pragma once

#include "supervision/callcardinfo.h"
#include "supervision/desktopnotifications.h"

#include <QByteArray>
#include <QHash>
#include <QObject>

class TForm3;

// Tells the desktop that a call rings: a notification for each ringing card,
// closed once the card is answered or removed. Its action opens the caller's
// agenda page when an agenda address is set. The agenda window's notif_appel
// turns it off.
class IncomingCallNotifier : public QObject
{
    Q_OBJECT

public:
    explicit IncomingCallNotifier(TForm3* agenda, QObject* parent = nullptr);

    void callRinging(const CallCardInfo& call);
    // The call was answered or its card removed.
    void callSettled(const QByteArray& key);

private:
    struct Shown
    {
        CallCardInfo call;
        uint id = 0; // 0 until the server answers
    };

    void openAgenda(uint id, const QString& actionKey);

    TForm3* m_agenda;
    DesktopNotifications m_notifications;
    QHash<QByteArray, Shown> m_shown;
};
