#pragma once

#include <QString>

#include <functional>

// The program's modal message box (the platform's showMessage): the text in a
// box with an OK button, under the application's name. Every window goes
// through here so that tests can capture the text instead of blocking on a
// dialog.
void showMessage(const QString& text);

// Replaces the dialog with sink (an empty function restores the dialog).
void setMessageSinkForTests(std::function<void(const QString&)> sink);

// The text in a box with Yes and No buttons; true for Yes.
bool askYesNo(const QString& text);

// Replaces the question box with sink, which gives the answer (an empty
// function restores the box).
void setQuestionSinkForTests(std::function<bool(const QString&)> sink);
