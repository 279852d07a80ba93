#pragma once

#include "agendasettings.h"
#include "browser.h"
#include "callcardoperations.h"
#include "dialwindow.h"
#include "messagebox.h"
#include "svgeditini.h"

#include <QByteArrayList>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// The windows a card talks to, real ones, over a data folder of the test's own;
// the card list is a recorder of the removals the cards ask for. Messages and
// browser pages are captured instead of shown.
class CardWindowsFixture : public ::testing::Test
{
protected:
    struct RemovalRecorder : CallCardOperations
    {
        void AddRingingCard(const QByteArray&, const QByteArray&, const QByteArray&, const QByteArray&) override {}
        void ShowConnectedCall(const QByteArray&, const QByteArray&, const QByteArray&, const QByteArray&) override {}
        void OpenCallerAgenda(const QByteArray&) override {}
        void RemoveCallCard(const QByteArray& key) override { removed.append(key); }
        QByteArrayList removed;
    };

    void SetUp() override
    {
        ASSERT_TRUE(dataDir.isValid());
        qputenv("CORVALINE_DATA_DIR", QFile::encodeName(dataDir.path()));
        TSvgEditIni::ResetForTests();
        SetMessageSinkForTests([this](const QString& text) { messages.append(text); });
        SetBrowserHookForTests([this](const QString& address) { pages.append(address); });
        agenda = std::make_unique<TForm3>();
        dial = std::make_unique<TForm5>();
        agenda->ValueListEditor1.load(QByteArrayLiteral("0140000000=Accueil\r\n"));
        agenda->ValueListEditor2.load(QByteArrayLiteral("0601020304=Dupont\r\n"));
    }

    void TearDown() override
    {
        dial.reset();
        agenda.reset();
        SetMessageSinkForTests({});
        SetBrowserHookForTests({});
        TSvgEditIni::ResetForTests();
        qunsetenv("CORVALINE_DATA_DIR");
    }

    QTemporaryDir dataDir;
    std::unique_ptr<TForm3> agenda;
    std::unique_ptr<TForm5> dial;
    RemovalRecorder list;
    QStringList messages;
    QStringList pages;
};
