#pragma once

#include "supervision/callcardlist.h"

#include <QByteArray>
#include <QDateTime>
#include <QFrame>

#include <memory>

class CallCardOperations;
class QAction;
class QMenu;
class QTimer;
class QToolButton;
class TForm3;
class TForm5;

namespace Ui {
class TFrame4;
}

// One call of the user's extension in the main window's card list: a strip 32
// pixels high with the caller (directory name or number), the label of the
// dialled line (SDA), a ringing/answered icon, an optional talk-time counter
// and buttons to remove the card, select it for a transfer and open the
// caller's agenda page. The card is found by its key (Hint), the manager's
// unique identifier of the user's channel; "100.cvl" is the disconnection card.
class TFrame4 : public QFrame
{
    Q_OBJECT

public:
    // The key of the card shown while the manager session is closed.
    static const QByteArray& DisconnectionKey;

    // agenda supplies the settings and the name lists, dial receives transfer
    // selections and list removes the card on request; all outlive the card.
    TFrame4(TForm3* agenda, TForm5* dial, CallCardOperations* list, QWidget* parent = nullptr);
    ~TFrame4() override;

    QTimer* Timer1;
    QMenu* PopupMenu1;
    QAction* Raccrocher1;
    QAction* N1;
    QAction* Supprimercetappeldelaliste1;
    QAction* N2;
    QAction* N3; // "Poste :" + channel
    QAction* N4; // "Appel : " + key

    QDateTime StartTime;
    QByteArray Hint; // the key; every card-list operation looks cards up by it

    // Fills a new card for a call that arrives now, named from the agenda's
    // name lists, from the texts the manager gave (CP1252 bytes).
    void prepare(const QByteArray& numberText, const QByteArray& sdaText, const QByteArray& key,
                 const QByteArray& channelText, bool answered);
    // Fills the card from the card list's call, when it comes and again when the
    // lines, the talk-time counter (from the call's arrival) and the state icon.
    void draw(const CallCard& call);
    // The call is answered: the state icon shows its answered look.
    void markAnswered();
    bool isAnswered() const { return m_call.answered; }

    // The call the card shows.
    const QByteArray& sdaValue() const { return m_call.sda; }
    const QByteArray& numberValue() const { return m_call.number; }
    const QByteArray& channelValue() const { return m_call.channel; }

    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void Supprimercetappeldelaliste1Click();
    void Raccrocher1Click();
    void Timer1Timer();

    // "nn:ss" of an elapsed time: minutes within the hour and seconds, so 61
    // minutes and 5 seconds read "01:05".
    static QString talkTimeText(qint64 elapsedMs);

    // The caller's page of the web agenda: base + "/cgi-bin/agenda/frame.pl?" +
    // ("sda" or "base") + "=" + SDA + "&number=" + number. The base is used as
    // typed; the two values are percent-encoded byte by byte (everything but
    // the RFC 3986 unreserved characters), so a caller text holding '&', '#',
    // '?' or blanks cannot change the query.
    static QString agendaPageAddress(const QString& base, bool keyedBySda, const QByteArray& sdaValue,
                                     const QByteArray& numberValue);
    // Opens the caller's agenda page, or asks for the agenda address when none
    // is set ("Indiquer l'adresse d'Orbanel").
    static void openAgendaPage(TForm3* agenda, const QByteArray& sdaValue, const QByteArray& numberValue);

signals:
    // "Raccrocher": the manager session hangs up the card's channel when it is open.
    void hangupRequested(const QByteArray& channel);

private:
    std::unique_ptr<Ui::TFrame4> ui;

    void showPopupMenu(QToolButton* button, const QPoint& position);

    TForm3* m_agenda;
    TForm5* m_dial;
    CallCardOperations* m_list;
    CallCard m_call;
};
