#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

// A small tmpfs mounted over an existing folder for the life of the object,
// to give the program a disk that fills up or turns read-only. Mounting needs
// root; whyNotMounted() says why it did not happen.
class MountedTmpfs
{
public:
    MountedTmpfs(const QString& folder, qint64 bytes) : m_folder(QFile::encodeName(folder))
    {
        if (::geteuid() != 0) {
            m_whyNot = QStringLiteral("mounting a tmpfs needs root");
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
        if (::mount("tmpfs", m_folder.constData(), "tmpfs", 0, options.constData()) != 0)
            m_whyNot = QStringLiteral("mount -t tmpfs failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    }
    ~MountedTmpfs()
    {
        if (isMounted())
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    MountedTmpfs(const MountedTmpfs&) = delete;
    MountedTmpfs& operator=(const MountedTmpfs&) = delete;

    bool isMounted() const { return m_whyNot.isEmpty(); }
    QString whyNotMounted() const { return m_whyNot; }

    // Writes a filler file until the disk refuses more; true when it did.
    bool fill() const
    {
        const int fd = ::open((m_folder + "/filler").constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'f');
        ssize_t written = 0;
        do
            written = ::write(fd, block.constData(), size_t(block.size()));
        while (written > 0);
        const bool full = errno == ENOSPC;
        // The last partial page too.
        while (::write(fd, "f", 1) == 1) {
        }
        ::close(fd);
        return full;
    }

    bool remountReadOnly() const
    {
        return ::mount("tmpfs", m_folder.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QByteArray m_folder;
    QString m_whyNot;
};
