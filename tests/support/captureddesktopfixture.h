#pragma once

#include "config/messagebox.h"
#include "config/svgeditini.h"
#include "supervision/browser.h"
#include "tempdatafolder.h"

#include <QStringList>
#include <gtest/gtest.h>

// Window tests over a data folder of the test's own, with the messages and
// browser pages that the program would show captured instead. Derived
// fixtures create their windows after SetUp and free them before TearDown.
class CapturedDesktopFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dataDir.isValid());
        TSvgEditIni::ResetForTests();
        SetMessageSinkForTests([this](const QString& text) { messages.append(text); });
        SetBrowserHookForTests([this](const QString& address) { pages.append(address); });
    }

    void TearDown() override
    {
        SetMessageSinkForTests({});
        SetBrowserHookForTests({});
        TSvgEditIni::ResetForTests();
    }

    TempDataFolder dataDir;
    QStringList messages;
    QStringList pages;
};
