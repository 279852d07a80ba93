#include "gui/managerconsole.h"

#include "config/datafolder.h"
#include "config/displaytext.h"
#include "config/inifile.h"
#include "gui/consoleoutput.h"
#include "gui/messagebox.h"
#include "gui/svgeditini.h"
#include "supervision/managertls.h"
#include "ui_managerconsole.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTimer>
#include <QToolButton>

namespace {

const QString ModernModeText = QStringLiteral("Moderne");
// The trusted fingerprints of the managers' certificates, by host.
const QByteArray TrustedCertificatesSection = QByteArrayLiteral("TLS");

QString settingsFilePath()
{
    return DataFolder::filePath(QStringLiteral("serie.ini"));
}

ManagerCertificateTrust certificateTrustInSettingsFile()
{
    return ManagerCertificateTrust(
        [](const QByteArray& host) { return IniFile(settingsFilePath()).readString(TrustedCertificatesSection, host); },
        [](const QByteArray& host, const QByteArray& fingerprint) {
            IniFile ini(settingsFilePath());
            return ini.writeString(TrustedCertificatesSection, host, fingerprint) && ini.flush();
        });
}

} // namespace

TForm2::TForm2(QWidget* parent)
    : QWidget(parent), m_session(std::make_unique<ManagerSession>()), TnCnx(m_session->telnet()),
      Timer1(m_session->keepAliveTimer()), callCards(m_session->callCards), ManagerChallenge(m_session->challenge()),
      ui(std::make_unique<Ui::TForm2>())
{
    ui->setupUi(this);
    code_soc = ui->code_soc;
    poste_as = ui->poste_as;
    m_output = std::make_unique<ConsoleOutput>(ui->DisplayMemo, journal);
    m_session->setSettingsSource([this] { return settings(); });
    m_session->setCertificateTrust(certificateTrustInSettingsFile());

    ManagerSession* session = m_session.get();
    connect(session, &ManagerSession::memoCleared, m_output.get(), &ConsoleOutput::clearMemo);
    connect(session, &ManagerSession::memoLine, m_output.get(), &ConsoleOutput::showLine);
    connect(session, &ManagerSession::memoText, m_output.get(), &ConsoleOutput::showText);
    connect(session, &ManagerSession::journalEntry, m_output.get(), &ConsoleOutput::journal);
    connect(session, &ManagerSession::opened, this, [this] { showControls(true); });
    connect(session, &ManagerSession::closed, this, [this] { showControls(false); });
    connect(session, &ManagerSession::sessionShown, this, &TForm2::sessionShown);
    connect(session, &ManagerSession::sessionStateChanged, this, &TForm2::sessionStateChanged);
    connect(this, &TForm2::hangupRequested, session, &ManagerSession::hangUp);
    // Asked from the event loop, never from within the socket's report.
    connect(session, &ManagerSession::certificateQuestion, this, &TForm2::askAboutCertificate, Qt::QueuedConnection);

    // Connected before the settings are restored: a stored keep-alive factor
    // sets the period as it is restored.
    connect(ui->Spin_Edit1, &QSpinBox::valueChanged, this, &TForm2::Spin_Edit1Change);

    // The radio buttons only fill code_soc, which is what gets kept; they are
    // left out of the settings file on purpose.
    SvgEditIni1 = new TSvgEditIni(this);
    SvgEditIni1->SauveRadioButton = false;
    SvgEditIni1->SauveComboBox = true;
    SvgEditIni1->Loaded();

    connect(ui->mode_as, &QComboBox::currentIndexChanged, this, [this, session] {
        session->interpretationChanged();
        showManagerTextsAsTheModeReadsThem();
    });
    showManagerTextsAsTheModeReadsThem();
    connect(poste_as, &QLineEdit::editingFinished, session, &ManagerSession::extensionChanged);
    connect(ui->ConnectButton, &QPushButton::clicked, this, &TForm2::ConnectButtonClick);
    connect(ui->tls_as, &QCheckBox::toggled, this,
            [this](bool tls) { ui->PortEdit_as->setText(proposedManagerPort(tls, ui->PortEdit_as->text())); });
    connect(ui->DisconnectButton, &QPushButton::clicked, this, &TForm2::DisconnectButtonClick);
    connect(ui->SendButton, &QPushButton::clicked, this, &TForm2::SendButtonClick);
    connect(ui->RadioButton1, &QRadioButton::clicked, this, &TForm2::RadioButton1Click);
    connect(ui->RadioButton2, &QRadioButton::clicked, this, &TForm2::RadioButton2Click);
    connect(ui->RadioButton3, &QRadioButton::clicked, this, &TForm2::RadioButton3Click);
    connect(ui->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    // The secret shows only while its button is held.
    connect(ui->RevealSecret, &QToolButton::pressed, this, [this] { ui->secret_as->setEchoMode(QLineEdit::Normal); });
    connect(ui->RevealSecret, &QToolButton::released, this,
            [this] { ui->secret_as->setEchoMode(QLineEdit::Password); });
    Timer1->start();
}

TForm2::~TForm2()
{
    // The session goes first and silently: the main window, whose cards its
    // close report would touch, may already be gone.
    m_session.reset();
    m_output.reset();
}

ManagerSessionSettings TForm2::settings() const
{
    ManagerSessionSettings now;
    now.host = ui->HostEdit_as->text();
    now.port = ui->PortEdit_as->text();
    now.loginAction = ui->action_as->text();
    now.userName = ui->username_as->text();
    now.secret = ui->secret_as->text();
    now.events = ui->events_as->text();
    now.md5Login = ui->md5_s->isChecked();
    now.tls = ui->tls_as->isChecked();
    now.modern = ui->mode_as->currentText() == ModernModeText;
    now.technology = ui->techno_as->currentText();
    now.extension = poste_as->text();
    now.context = code_soc->text();
    now.journal = ui->journal_enre->isChecked();
    now.keepAliveAction = ui->caction_m->text();
    now.keepAliveParameters = ui->cpara_m->text();
    return now;
}

void TForm2::askAboutCertificate(const QString& host, const QByteArray& fingerprint)
{
    const bool trust = askYesNo(tr("Le certificat du PBX %1 n'est pas reconnu.\nEmpreinte SHA-256 : %2\n\n"
                                   "Faire confiance à ce certificat ?")
                                    .arg(host, QString::fromLatin1(fingerprint)));
    m_session->certificateAnswered(host, fingerprint, trust);
}

void TForm2::showControls(bool connected)
{
    ui->DisplayMemo->setEnabled(connected);
    ui->ConnectButton->setEnabled(!connected);
    ui->DisconnectButton->setEnabled(connected);
    if (connected)
        ui->DisplayMemo->setFocus();
    else
        ui->ConnectButton->setFocus();
}

void TForm2::showManagerTextsAsTheModeReadsThem() const
{
    DisplayText::setDecoding(m_session->isModernMode() ? DisplayText::Decoding::Utf8WhenValid
                                                       : DisplayText::Decoding::Cp1252);
}

void TForm2::ConnectButtonClick()
{
    m_session->connectToManager();
}

void TForm2::DisconnectButtonClick()
{
    m_session->disconnectFromManager();
}

void TForm2::SendButtonClick()
{
    m_session->logIn();
}

void TForm2::Timer1Timer()
{
    m_session->keepAliveTick();
}

void TForm2::Spin_Edit1Change()
{
    m_session->setKeepAliveFactor(ui->Spin_Edit1->value());
}

void TForm2::TnCnxSessionConnected(QObject*, quint16 Error)
{
    m_session->sessionConnected(Error);
}

void TForm2::TnCnxSessionClosed(QObject*, quint16)
{
    m_session->sessionClosed();
}

void TForm2::TnCnxDataAvailable(QObject*, const char* Buffer, qsizetype Len)
{
    m_session->dataAvailable(Buffer, Len);
}

void TForm2::TnCnxDisplay(QObject*, const QByteArray& Str)
{
    m_session->display(Str);
}

void TForm2::MemoAddLines(QPlainTextEdit*, const QByteArray& Text)
{
    m_session->interpret(Text);
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
