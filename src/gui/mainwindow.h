#pragma once

#include "supervision/automaticpagelimit.h"
#include "supervision/callcardlist.h"

#include <QHash>
#include <QMainWindow>
#include <QSet>

#include <memory>

class QLabel;
class QTimer;
class QVBoxLayout;
class TForm2;
class TForm3;
class TForm5;
class TFrame4;
class TSvgEditIni;

namespace Ui {
class TForm1;
}

// The main window ("Corvaline"): a small always-on-top tool window with the
// extension number, the transparency slider and the list of call cards. In
// options mode it shows the menu and the options panel; in compact mode only
// the cards and a thin strip that brings the options back. It is the first
// window created, so its settings component saves "serie.ini" when it closes.
class TForm1 : public QMainWindow, public CallCardOperations
{
    Q_OBJECT

public:
    static constexpr int CardHeight = 32;
    static constexpr int OptionsHeight = 125;
    static constexpr int CompactHeight = 43;
    // Cards of calls on screen at most; the calls beyond them wait, counted on
    // a line below the cards ("+ 980 autres appels"), and come on screen in the
    // order they arrived as shown ones go. The session's card comes besides.
    static constexpr int MaxShownCards = 20;
    static constexpr int MoreCallsHeight = 16;

    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Links the windows created after this one; called once, before the
    // start-up timer fires.
    void attachWindows(TForm2* console, TForm3* agenda, TForm5* dial);

    TSvgEditIni* SvgEditIni1;
    QTimer* Timer1;

    // The status: the last forwarded text or the last unhandled error; never
    // shown. Public for the tests of the hand-over of links, which read it.
    QLabel* Label3;

    // Card list.
    void AddRingingCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                        const QByteArray& channel) override;
    void AddPlacedCallCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void AddAnsweredCard(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                         const QByteArray& channel);
    void ShowConnectedCall(const QByteArray& number, const QByteArray& sda, const QByteArray& key,
                           const QByteArray& channel) override;
    void MarkCardAnswered(const QByteArray& key);
    void OpenCallerAgenda(const QByteArray& key) override;
    void RemoveCallCard(const QByteArray& key) override;
    void UpdateCallCard(const QByteArray& key, const QByteArray& number, const QByteArray& sda,
                        const QByteArray& channel) override;
    bool HasCallCard(const QByteArray& key) const override { return m_cardList.HasCallCard(key); }
    QByteArray callCardKeyForChannel(const QByteArray& channel) const override
    {
        return m_cardList.callCardKeyForChannel(channel);
    }
    QByteArrayList callCardKeys() const override { return m_cardList.callCardKeys(); }
    // Every call with a card, shown or waiting.
    int CallCardCount() const { return m_cardList.count(); }
    int shownCallCardCount() const { return int(m_shownCards.size()); }
    // The card on screen for the key; null when there is none or it waits.
    TFrame4* findCallCard(const QByteArray& key) const { return m_shownCards.value(key); }
    // The cards themselves, for what follows them.
    const CallCardList& cardList() const { return m_cardList; }

    // A click-to-dial link handed over by another instance (or given to this
    // one at start): the dial string goes into both number fields of the dial
    // window, which is shown.
    void receiveForwardedText(const QByteArray& text);
    // A forwarded text that could not be read.
    void forwardedTextFailed();
    // The message of an error no code handled; kept in Label3, no dialog.
    void ApplicationEvents1Exception(const QString& message);
    void Devant();
    bool isCompact() const { return m_compact; }

    void Timer1Timer();
    // "Connexion": a new connection attempt and the login, as at start-up.
    void Button1Click();
    void Edit1Change();
    void Button3Click();
    void Image1Click();
    void TrackBar1Change();
    void Orbanel1Click();
    void Asterisk1Click();
    void Quitter1Click();
    void Dmarrervotrenavigateur1Click();
    void Simulerunappel1Click();
    void Simulerunappel11Click();
    // "Appeler...": the dial window.
    void Appeler1Click();

    // "Afficher", "Appeler...", "Historique" and "Quitter", for the tray's menu.
    QList<QAction*> trayActions() const;

signals:
    // The window has closed: the program ends.
    void closed();

    // "Historique": the list of the last calls is asked for.
    void historyRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TForm1> ui;

    // Drawing what the card list announces.
    void cardAdded(const CallCard& call);
    void cardAnswered(const QByteArray& key);
    void cardRemoved(const QByteArray& key);
    void cardUpdated(const CallCard& call);
    void drawCard(const CallCard& call);
    bool roomOnScreen() const;
    void showFirstWaitingCard();
    void showMoreCallsLine();
    void openAgendaAutomatically(const QByteArray& key, const QByteArray& sda, const QByteArray& number);
    void askForAgendaAddress();
    void showSessionState(bool connected);
    void setModeHeight();
    void setHeight(int height);

    // The cards and their rules; the window draws a TFrame4 for the first
    // MaxShownCards of them.
    CallCardList m_cardList;
    QHash<QByteArray, TFrame4*> m_shownCards;
    QLabel* m_moreCalls;
    TForm2* m_console = nullptr;
    TForm3* m_agenda = nullptr;
    TForm5* m_dial = nullptr;
    QVBoxLayout* m_answeredStack;
    QVBoxLayout* m_ringingStack;
    // Removed cards wait here, out of the card panel, until the event loop
    // frees them: a card removed by its own button is still inside its click.
    QWidget* m_removedCards;
    bool m_compact = false;
    // The request for the agenda's address has been made since the address
    // last changed.
    bool m_agendaAddressAsked = false;
    // The calls whose agenda page was opened automatically, and the last one
    // of them without a card.
    QSet<QByteArray> m_agendaOpened;
    QByteArray m_agendaOpenedWithoutCard;
    AutomaticPageLimit m_automaticPages;
};
