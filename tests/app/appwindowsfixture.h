#pragma once

#include "agendasettings.h"
#include "applicationwindows.h"
#include "browser.h"
#include "dialwindow.h"
#include "mainwindow.h"
#include "managerconsole.h"
#include "messagebox.h"
#include "svgeditini.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

// The program's four real windows over a data folder of the test's own, with
// messages and browser pages captured. The start-up timer is stopped so that
// it fires only in the cases about it.
class AppWindowsFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dataDir.isValid());
        qputenv("CORVALINE_DATA_DIR", QFile::encodeName(dataDir.path()));
        TSvgEditIni::ResetForTests();
        SetMessageSinkForTests([this](const QString& text) { messages.append(text); });
        SetBrowserHookForTests([this](const QString& address) { pages.append(address); });
        windows = std::make_unique<ApplicationWindows>();
        form1 = windows->Form1();
        form2 = windows->Form2();
        form3 = windows->Form3();
        form5 = windows->Form5();
        form1->Timer1->stop();
    }

    void TearDown() override
    {
        windows.reset();
        SetMessageSinkForTests({});
        SetBrowserHookForTests({});
        TSvgEditIni::ResetForTests();
        qunsetenv("CORVALINE_DATA_DIR");
    }

    QString settingsPath() const { return dataDir.filePath(QStringLiteral("serie.ini")); }

    QTemporaryDir dataDir;
    std::unique_ptr<ApplicationWindows> windows;
    TForm1* form1 = nullptr;
    TForm2* form2 = nullptr;
    TForm3* form3 = nullptr;
    TForm5* form5 = nullptr;
    QStringList messages;
    QStringList pages;
};
