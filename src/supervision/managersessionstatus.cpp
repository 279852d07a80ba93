#include "supervision/managersessionstatus.h"

void ManagerSessionStatus::update(ManagerSessionState reported, const QString& pbxHost)
{
    m_host = pbxHost;
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
        return QStringLiteral("Corvaline : connecté") + naming(QStringLiteral("à"));
    case ManagerSessionState::Refused:
        return QStringLiteral("Corvaline : accès refusé") + naming(QStringLiteral("par"));
    case ManagerSessionState::Disconnected:
        break;
    }
    return QStringLiteral("Corvaline : déconnecté") + naming(QStringLiteral("de"));
}
