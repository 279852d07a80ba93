#include "supervision/managersessionstatus.h"

#include <QCoreApplication>

void ManagerSessionStatus::update(ManagerSessionState reported, const QString& pbxHost, bool encrypted)
{
    m_host = pbxHost;
    m_encrypted = encrypted;
    if (reported == ManagerSessionState::Disconnected && m_state == ManagerSessionState::Refused)
        return;
    m_state = reported;
}

QString ManagerSessionStatus::toolTip() const
{
    // Until the console first reports, the PBX is not known yet.
    const auto naming = [this](const QString& preposition) {
        return m_host.isEmpty() ? QString() : QLatin1Char(' ') + preposition + QLatin1Char(' ') + m_host;
    };
    switch (m_state) {
    case ManagerSessionState::LoggedIn:
        return QCoreApplication::translate("ManagerSessionStatus", "Corvaline : connecté") +
               naming(QCoreApplication::translate("ManagerSessionStatus", "à", "connected to the PBX")) +
               (m_encrypted ? QLatin1Char(' ') + QCoreApplication::translate("ManagerSessionStatus", "(chiffrée)")
                            : QString());
    case ManagerSessionState::Refused:
        return QCoreApplication::translate("ManagerSessionStatus", "Corvaline : accès refusé") +
               naming(QCoreApplication::translate("ManagerSessionStatus", "par", "refused by the PBX"));
    case ManagerSessionState::Disconnected:
        break;
    }
    return QCoreApplication::translate("ManagerSessionStatus", "Corvaline : déconnecté") +
           naming(QCoreApplication::translate("ManagerSessionStatus", "de", "disconnected from the PBX"));
}
