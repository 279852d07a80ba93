#pragma once

#include <QByteArray>
#include <QString>

// How a text that came from the manager is shown. Asterisk 12 and later send
// caller names in UTF-8, older ones in the office's code page, so in modern
// mode a text that is valid UTF-8 is shown as UTF-8 and any other as CP1252;
// in classic mode every text is CP1252. This is a display rule only: what is
// matched, looked up, sent or written keeps the bytes the manager sent.
namespace DisplayText {

enum class Decoding
{
    Cp1252,
    Utf8WhenValid
};

QString toDisplay(const QByteArray& bytes, Decoding decoding);

// The decoding the console's interpretation mode calls for, which the console
// sets whenever its mode changes; CP1252 until then.
void setDecoding(Decoding decoding);
Decoding decoding();
QString toDisplay(const QByteArray& bytes);

} // namespace DisplayText
