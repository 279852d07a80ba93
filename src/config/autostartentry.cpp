#include "config/autostartentry.h"

#include "config/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

const QString AutostartEntry::FileName = QStringLiteral("corvaline.desktop");

namespace {

// One argument of an Exec line: quoted when it holds a reserved character,
// with '"', '`', '$' and '\' escaped inside the quotes; '%' doubled, since a
// lone one starts a field code. The line is then a string value, whose own
// escape doubles every backslash.
QString execArgument(const QString& argument)
{
    static const QString Reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted = argument;
    quoted.replace(u'%', QStringLiteral("%%"));
    if (std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return Reserved.contains(c); })) {
        QString escaped;
        for (const QChar c : std::as_const(quoted)) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                escaped += u'\\';
            escaped += c;
        }
        quoted = u'"' + escaped + u'"';
    }
    return quoted.replace(u'\\', QStringLiteral("\\\\"));
}

} // namespace

AutostartEntry::AutostartEntry() : AutostartEntry(userPath()) {}

AutostartEntry::AutostartEntry(const QString& path) : m_path(path) {}

QString AutostartEntry::userPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/") + FileName;
}

bool AutostartEntry::exists() const
{
    return QFileInfo::exists(m_path);
}

bool AutostartEntry::write(const QString& program, QString* error) const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    QString why;
    if (!QDir().mkpath(folder))
        why = QCoreApplication::translate("AutostartEntry", "impossible de créer le dossier");
    else if (writeFileAtomically(m_path, content(program), &why))
        return true;
    if (error)
        *error = QCoreApplication::translate("AutostartEntry",
                                             "Impossible d'écrire le démarrage avec la session dans %1 (%2)")
                     .arg(m_path, why);
    return false;
}

bool AutostartEntry::remove(QString* error) const
{
    QFile file(m_path);
    if (!file.exists() || file.remove())
        return true;
    if (error)
        *error = QCoreApplication::translate("AutostartEntry",
                                             "Impossible de retirer le démarrage avec la session de %1 (%2)")
                     .arg(m_path, file.errorString());
    return false;
}

QByteArray AutostartEntry::content(const QString& program)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Corvaline\n"
                                        "Comment=Fiches d'appel et numérotation pour Asterisk\n"
                                        "Exec=%1\n"
                                        "Icon=corvaline\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execArgument(program));
    return text.toUtf8();
}
