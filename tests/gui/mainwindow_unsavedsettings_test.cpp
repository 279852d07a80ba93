#include "appwindowsfixture.h"
#include "mountedtmpfs.h"

#include <QLabel>
#include <QLineEdit>

#include "control.h"

namespace {

using UnsavedSettingsTest = AppWindowsFixture;

TEST_F(UnsavedSettingsTest, ReadOnlyDataFolder_TheUserIsToldBeforeTheProgramEndsAndTheFileStays)
{
    const MountedTmpfs disk(dataDir.path(), 256 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << disk.whyNotMounted().toStdString();
    const QByteArray saved = QByteArrayLiteral("[Form2]\r\nposte_as=6001\r\n");
    ASSERT_TRUE(dataDir.write(QStringLiteral("serie.ini"), saved));
    ASSERT_TRUE(disk.remountReadOnly());
    control<QLineEdit>(form2, "poste_as")->setText(QStringLiteral("6002"));

    qsizetype messagesWhenClosed = -1;
    QObject::connect(form1, &TForm1::closed, [&] { messagesWhenClosed = messages.size(); });
    form1->show();
    form1->close();

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.front().startsWith(QStringLiteral("Impossible d'enregistrer les réglages dans ")))
        << messages.front().toStdString();
    EXPECT_EQ(form1->Label3->text(), messages.front());
    EXPECT_EQ(messagesWhenClosed, 1) << "the program ends once the user was told";
    EXPECT_EQ(dataDir.read(QStringLiteral("serie.ini")), saved);
}

} // namespace
