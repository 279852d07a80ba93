#pragma once

#include <QByteArray>

// Field splitter of the click-to-dial links. The index counts separators: the
// text before the first separator is field 2, the text between the first and
// the second is field 3, and so on. A field is delivered only when a separator
// follows it; otherwise result is left as it was (so is it for n below 2).
void ExtractField(const QByteArray& text, char separator, int n, QByteArray& result);
