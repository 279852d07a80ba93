#pragma once

#include "gui/browser.h"
#include "gui/messagebox.h"
#include "gui/svgeditini.h"
#include "tempdatafolder.h"

#include <QStringList>
#include <gtest/gtest.h>

// Window tests over a data folder of the test's own, with the messages and
// browser pages that the program would show captured instead, and no session
// bus: the desktop of the person running the tests shows no notification. Derived
// fixtures create their windows after SetUp and free them before TearDown.
class CapturedDesktopFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dataDir.isValid());
        TSvgEditIni::ResetForTests();
        setMessageSinkForTests([this](const QString& text) { messages.append(text); });
        setBrowserHookForTests([this](const QString& address) { pages.append(address); });
        m_hadBusAddress = qEnvironmentVariableIsSet(BusAddress);
        m_busAddress = qgetenv(BusAddress);
        qputenv(BusAddress, QByteArray());
    }

    void TearDown() override
    {
        setMessageSinkForTests({});
        setBrowserHookForTests({});
        TSvgEditIni::ResetForTests();
        if (m_hadBusAddress)
            qputenv(BusAddress, m_busAddress);
        else
            qunsetenv(BusAddress);
    }

    TempDataFolder dataDir;
    QStringList messages;
    QStringList pages;

private:
    static constexpr char BusAddress[] = "DBUS_SESSION_BUS_ADDRESS";
    bool m_hadBusAddress = false;
    QByteArray m_busAddress;
};
