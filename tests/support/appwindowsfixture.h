#pragma once

#include "gui/applicationwindows.h"
#include "gui/mainwindow.h"
#include "captureddesktopfixture.h"
#include "gui/agendasettings.h"
#include "gui/dialwindow.h"
#include "gui/managerconsole.h"

#include <QTimer>

#include <memory>

// The program's four real windows over a data folder of the test's own, with
// messages and browser pages captured. The start-up timer is stopped so that
// it fires only in the cases about it.
class AppWindowsFixture : public CapturedDesktopFixture
{
protected:
    void SetUp() override
    {
        CapturedDesktopFixture::SetUp();
        if (HasFatalFailure())
            return;
        windows = std::make_unique<ApplicationWindows>();
        form1 = windows->form1();
        form2 = windows->form2();
        form3 = windows->form3();
        form5 = windows->form5();
        form1->Timer1->stop();
    }

    void TearDown() override
    {
        windows.reset();
        CapturedDesktopFixture::TearDown();
    }

    QString settingsPath() const { return dataDir.filePath(QStringLiteral("serie.ini")); }

    std::unique_ptr<ApplicationWindows> windows;
    TForm1* form1 = nullptr;
    TForm2* form2 = nullptr;
    TForm3* form3 = nullptr;
    TForm5* form5 = nullptr;
};
