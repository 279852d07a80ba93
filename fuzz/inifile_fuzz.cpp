// The settings file reader on any file content; a value written into it reads back, before and after a flush.
#include "config/inifile.h"
#include "fuzzsupport.h"

#include <QFile>
#include <QTemporaryDir>

using fuzzsupport::check;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::ensureCoreApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("serie.ini"));
    const QByteArray content = fuzzsupport::bytes(data, size).toByteArray();
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size(),
              "the input is written to a file");
    }
    QByteArray section = QByteArrayLiteral("Form2");
    QByteArray key = QByteArrayLiteral("HostEdit_as");
    QByteArray value;
    {
        IniFile ini(path);
        // The names the file itself uses, so that the look-ups find something.
        for (const QByteArray& line : content.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
                section = trimmed.mid(1, trimmed.size() - 2);
                continue;
            }
            const qsizetype equals = line.indexOf('=');
            if (equals < 0)
                continue;
            key = line.left(equals);
            value = line.mid(equals + 1);
            if (value.endsWith('\r'))
                value.chop(1);
            check(ini.hasKey(section, key) || ini.readString(section, key, "?") == "?", "absent keys give the default");
            ini.readInteger(section, key, -1);
        }
        if (!ini.writeString(section, key, value))
            return 0;
        check(ini.readString(section, key) == value, "a written value reads back");
        check(ini.flush(), "the file is written");
    }
    IniFile reread(path);
    check(reread.readString(section, key) == value, "a flushed value reads back from the file");
    return 0;
}
