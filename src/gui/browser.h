#pragma once

#include <QString>

#include <functional>

// Shows a web page in the user's browser (the desktop's "open" of an address).
// Every page the program opens goes through here, so that tests can capture the
// address instead of starting a browser.
void openInBrowser(const QString& address);

// Replaces the browser with hook (an empty function restores the browser).
void setBrowserHookForTests(std::function<void(const QString&)> hook);
