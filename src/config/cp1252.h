#pragma once

#include <QByteArray>
#include <QString>

// The one conversion pair between the 8-bit texts of the program (manager
// traffic, settings file, name lists, journals: Windows code page 1252) and the
// QString a widget shows or takes. The whole Windows-1252 table is used,
// 0x80-0x9F included; the five bytes that table leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the control characters of the same value and back,
// so every byte string survives a round trip. Characters with no place in the
// code page become '?'.
namespace Cp1252 {

QString toUnicode(const QByteArray& bytes);
QByteArray fromUnicode(const QString& text);

} // namespace Cp1252
