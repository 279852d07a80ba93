#pragma once

#include "captureddesktopfixture.h"
#include "cardrecorder.h"
#include "gui/agendasettings.h"
#include "gui/dialwindow.h"

#include <memory>

// The windows a card talks to, real ones, over a data folder of the test's own;
// the card list records what the cards ask of it. Messages and
// browser pages are captured instead of shown.
class CardWindowsFixture : public CapturedDesktopFixture
{
protected:
    void SetUp() override
    {
        CapturedDesktopFixture::SetUp();
        if (HasFatalFailure())
            return;
        agenda = std::make_unique<TForm3>();
        dial = std::make_unique<TForm5>();
        agenda->ValueListEditor1.load(QByteArrayLiteral("0140000000=Accueil\r\n"));
        agenda->ValueListEditor2.load(QByteArrayLiteral("0601020304=Dupont\r\n"));
    }

    void TearDown() override
    {
        dial.reset();
        agenda.reset();
        CapturedDesktopFixture::TearDown();
    }

    std::unique_ptr<TForm3> agenda;
    std::unique_ptr<TForm5> dial;
    CardRecorder list;
};
