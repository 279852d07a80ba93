#include "transcript.h"

namespace pbxsim {

QByteArrayList splitTranscript(const QByteArray& transcript)
{
    QByteArrayList blocks;
    qsizetype blockStart = 0;
    qsizetype lineStart = 0;
    bool blockHasText = false;
    while (lineStart < transcript.size()) {
        const qsizetype newline = transcript.indexOf('\n', lineStart);
        if (newline < 0)
            break;
        const bool emptyLine = newline == lineStart || (newline == lineStart + 1 && transcript[lineStart] == '\r');
        lineStart = newline + 1;
        if (!emptyLine) {
            blockHasText = true;
        } else if (blockHasText) {
            blocks.append(transcript.mid(blockStart, lineStart - blockStart));
            blockStart = lineStart;
            blockHasText = false;
        }
    }
    if (blockStart < transcript.size())
        blocks.append(transcript.mid(blockStart));
    return blocks;
}

} // namespace pbxsim
