#pragma once

#include <QWidget>

#include <memory>

class QLineEdit;
class TForm2;

namespace Ui {
class TForm5;
}

// The dial and transfer window ("Appel"): a number to call from the own
// extension, and a number to which the call selected on a card is transferred.
// The selection lives in hidden labels: Label1 holds the channel of the card
// chosen for a transfer (shown as Label6), Label2 and Label3 the two channels
// of the two-call transfer (shown as Label4 and Label5). An empty label means
// nothing is selected there. Closing the window only hides it and clears the
// selection; the two number fields keep their text.
class TForm5 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;

    // The two number fields, which the main window fills from a forwarded link.
    QLineEdit* Edit1;
    QLineEdit* Edit2;

    // The manager console whose extension, context and logged-in session the
    // calls and transfers use, read at the moment of sending; set once both
    // windows exist. Without it nothing is sent. An action that the session
    // cannot take is reported as a failure, and a transfer keeps its selection.
    TForm2* Console = nullptr;

    // Selects a card for the transfer: display is the card's caption, channel
    // the card's channel (without "SIP/" in classic mode). Fills the first free slot of the
    // two-call transfer (a third selection replaces the second) and shows the
    // window.
    void transfert(const QString& display, const QString& channel);

    // "Appeler": Originate from the own extension to Edit1, in the context
    // code_soc.
    void Button1Click();
    // "Transfert": Redirect of the selected call to Edit2.
    void Button3Click();
    // Two-call "Transfert": Redirect of both selected calls to extension 680.
    void Button4Click();
    void SpeedButton5Click();
    void Button2Click();

protected:
    // Every close clears the selection and disables both transfer buttons,
    // then lets the window hide.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::TForm5> ui;

    void FormCloseQuery();
    void clearSelectedChannels();
};
