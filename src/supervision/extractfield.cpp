#include "supervision/extractfield.h"

void ExtractField(const QByteArray& text, char separator, int n, QByteArray& result)
{
    int counter = 1;
    QByteArray field;
    for (const char c : text) {
        if (c != separator) {
            field.append(c);
            continue;
        }
        ++counter;
        if (counter == n)
            result = field;
        else
            field.clear();
    }
}
