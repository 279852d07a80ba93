#include "config/displaytext.h"

#include "config/cp1252.h"

#include <QStringDecoder>

namespace {

DisplayText::Decoding currentDecoding = DisplayText::Decoding::Cp1252;

} // namespace

namespace DisplayText {

QString toDisplay(const QByteArray& bytes, Decoding decoding)
{
    if (decoding == Decoding::Utf8WhenValid) {
        // Stateless: a sequence cut short at the end is an error, not left
        // waiting for bytes that will never come. A byte order mark is a
        // character of the text like any other.
        QStringDecoder utf8(QStringConverter::Utf8,
                            QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        QString text = utf8.decode(bytes);
        if (!utf8.hasError())
            return text;
    }
    return Cp1252::toUnicode(bytes);
}

void setDecoding(Decoding decoding)
{
    currentDecoding = decoding;
}

Decoding decoding()
{
    return currentDecoding;
}

QString toDisplay(const QByteArray& bytes)
{
    return toDisplay(bytes, currentDecoding);
}

} // namespace DisplayText
