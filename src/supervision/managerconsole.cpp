#include "managerconsole.h"

#include "callcardoperations.h"
#include "cp1252.h"
#include "managereventinterpreter.h"
#include "svgeditini.h"
#include "ui_managerconsole.h"

#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(journalLog, "corvaline.journal")

// Stands in for the main window's card list until it is attached, so that the
// challenge is still recorded.
class NoCallCards : public CallCardOperations
{
public:
    void AddRingingCard(const QByteArray&, const QByteArray&, const QByteArray&, const QByteArray&) override {}
    void ShowConnectedCall(const QByteArray&, const QByteArray&, const QByteArray&, const QByteArray&) override {}
    void OpenCallerAgenda(const QByteArray&) override {}
    void RemoveCallCard(const QByteArray&) override {}
};

// Memo lines from manager text: CR LF and lone CR or LF all break the line.
QString memoText(const QByteArray& text)
{
    QByteArray lines = text;
    lines.replace("\r\n", "\n").replace('\r', '\n');
    return Cp1252::toUnicode(lines);
}

} // namespace

TForm2::TForm2(QWidget* parent) : QWidget(parent), ui(new Ui::TForm2)
{
    ui->setupUi(this);
    Panel1 = ui->Panel1;
    GroupBox1 = ui->GroupBox1;
    HostEdit_as = ui->HostEdit_as;
    PortEdit_as = ui->PortEdit_as;
    ConnectButton = ui->ConnectButton;
    DisconnectButton = ui->DisconnectButton;
    code_soc = ui->code_soc;
    md5_s = ui->md5_s;
    RadioButton1 = ui->RadioButton1;
    RadioButton2 = ui->RadioButton2;
    RadioButton3 = ui->RadioButton3;
    GroupBox2 = ui->GroupBox2;
    poste_as = ui->poste_as;
    action_as = ui->action_as;
    username_as = ui->username_as;
    secret_as = ui->secret_as;
    events_as = ui->events_as;
    SendButton = ui->SendButton;
    GroupBox3 = ui->GroupBox3;
    caction_m = ui->caction_m;
    cpara_m = ui->cpara_m;
    Spin_Edit1 = ui->Spin_Edit1;
    DisplayMemo = ui->DisplayMemo;
    Panel2 = ui->Panel2;
    journal_enre = ui->journal_enre;
    Button1 = ui->Button1;

    // The radio buttons only fill code_soc, which is what gets kept; they are
    // left out of the settings file on purpose.
    SvgEditIni1 = new TSvgEditIni(this);
    SvgEditIni1->SauveEdit = true;
    SvgEditIni1->SauveDateTimePicker = true;
    SvgEditIni1->SauveCheckBox = true;
    SvgEditIni1->SauveRadioButton = false;
    SvgEditIni1->SauveSpinEdit = true;
    SvgEditIni1->SauveMemo = false;
    SvgEditIni1->SauveRichEdit = false;
    SvgEditIni1->SauveComboBox = false;
    SvgEditIni1->SauveListBox = false;
    SvgEditIni1->SauveStringGrid = false;
    SvgEditIni1->Loaded();

    connect(RadioButton1, &QRadioButton::clicked, this, &TForm2::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TForm2::RadioButton2Click);
    connect(RadioButton3, &QRadioButton::clicked, this, &TForm2::RadioButton3Click);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
}

TForm2::~TForm2()
{
    delete ui;
}

void TForm2::RadioButton1Click()
{
    code_soc->setText(QStringLiteral("internal"));
}

void TForm2::RadioButton2Click()
{
    code_soc->setText(QStringLiteral("from-internal"));
}

void TForm2::RadioButton3Click()
{
    code_soc->setText(QStringLiteral("default"));
}

void TForm2::Button1Click()
{
    close();
}

void TForm2::MemoAddLines(QPlainTextEdit*, const QByteArray& Text)
{
    static NoCallCards noCards;
    const ManagerEventInterpreter interpreter(
        CallCards ? *CallCards : noCards, [this] { return Cp1252::fromUnicode(poste_as->text()); },
        [this](const QByteArray& value) { ManagerChallenge = value; });
    interpreter.interpret(Text);
}

void TForm2::TnCnxDataAvailable(QObject*, const char* Buffer, qsizetype Len)
{
    // Copied at once: card creation runs the event loop, and the session may
    // deliver the next block in this same buffer meanwhile.
    const QByteArrayView received(Buffer, Len);
    const qsizetype nul = received.indexOf('\0');
    const QByteArray text = (nul >= 0 ? received.first(nul) : received).toByteArray();

    DisplayMemo->clear();
    MemoAddLines(DisplayMemo, text);
    if (!journal_enre->isChecked())
        return;
    DisplayMemo->appendPlainText(memoText(text));
    try {
        ManagerJournal.WriteJournal(text);
    } catch (const EJournalError& error) {
        // Nothing else to do: the cards and the memo are up to date, and the
        // next block tries the file again.
        qCWarning(journalLog) << error.what();
    }
}

void TForm2::TnCnxDisplay(QObject*, const QByteArray& Str)
{
    if (!journal_enre->isChecked())
        return;
    try {
        ManagerJournal.WriteJournal(QByteArrayLiteral("CGI \r\n") + Str);
    } catch (const EJournalError& error) {
        qCWarning(journalLog) << error.what();
    }
    DisplayMemo->appendPlainText(memoText(Str));
}
