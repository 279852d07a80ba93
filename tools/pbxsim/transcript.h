#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace pbxsim {

// Cuts a recorded manager transcript into its blocks, each ending with the empty
// line that closed it (CR LF CR LF, or bare LF LF). The bytes are kept exactly;
// text after the last empty line is a last block of its own.
QByteArrayList splitTranscript(const QByteArray& transcript);

} // namespace pbxsim
