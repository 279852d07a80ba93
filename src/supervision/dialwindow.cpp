#include "dialwindow.h"

#include "ui_dialwindow.h"

#include <QCloseEvent>

TForm5::TForm5(QWidget* parent) : QWidget(parent), ui(new Ui::TForm5)
{
    ui->setupUi(this);
    Panel1 = ui->Panel1;
    GroupBox1 = ui->GroupBox1;
    Image2 = ui->Image2;
    Edit1 = ui->Edit1;
    Button1 = ui->Button1;
    GroupBox3 = ui->GroupBox3;
    Image3 = ui->Image3;
    Label6 = ui->Label6;
    Edit2 = ui->Edit2;
    Button3 = ui->Button3;
    Label1 = ui->Label1;
    GroupBox2 = ui->GroupBox2;
    Image1 = ui->Image1;
    Image4 = ui->Image4;
    Label4 = ui->Label4;
    Label5 = ui->Label5;
    Label2 = ui->Label2;
    Label3 = ui->Label3;
    SpeedButton5 = ui->SpeedButton5;
    Button4 = ui->Button4;
    Panel2 = ui->Panel2;
    Button2 = ui->Button2;

    connect(SpeedButton5, &QToolButton::clicked, this, &TForm5::SpeedButton5Click);
    connect(Button2, &QPushButton::clicked, this, &TForm5::Button2Click);
}

TForm5::~TForm5()
{
    delete ui;
}

void TForm5::transfert(const QString& display, const QString& channel)
{
    Label1->setText(channel);
    Label6->setText(display);
    Button3->setEnabled(true);
    if (Label2->text().isEmpty()) {
        Label2->setText(channel);
        Label4->setText(display);
    } else {
        Label3->setText(channel);
        Label5->setText(display);
    }
    if (!Label2->text().isEmpty() && !Label3->text().isEmpty())
        Button4->setEnabled(true);
    show();
}

void TForm5::SpeedButton5Click()
{
    Label2->clear();
    Label3->clear();
    Label4->clear();
    Label5->clear();
    Button4->setEnabled(false);
}

void TForm5::Button2Click()
{
    close();
}

void TForm5::closeEvent(QCloseEvent* event)
{
    FormCloseQuery();
    event->accept();
}

void TForm5::FormCloseQuery()
{
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6})
        label->clear();
    Button3->setEnabled(false);
    Button4->setEnabled(false);
}
