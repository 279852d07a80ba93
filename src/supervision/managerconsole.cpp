#include "managerconsole.h"

#include "svgeditini.h"
#include "ui_managerconsole.h"

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
