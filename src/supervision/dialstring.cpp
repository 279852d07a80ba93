#include "supervision/dialstring.h"

#include "supervision/extractfield.h"

namespace {

constexpr qsizetype LinkPrefixLength = 7; // "numero:"

// Field k (1-based) of the remainder; the remainder gets a closing separator so
// that its last field counts too.
QByteArray field(const QByteArray& rest, int k)
{
    QByteArray value;
    ExtractField(rest + '|', '|', k + 1, value);
    return value;
}

// Every occurrence of piece (lower case) in any letter case, taken out from
// left to right in one pass: a long link costs no more than its length.
QByteArray withoutCaseless(const QByteArray& text, const QByteArray& piece)
{
    const QByteArray lowered = text.toLower();
    QByteArray kept;
    kept.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype at = lowered.indexOf(piece); at >= 0; at = lowered.indexOf(piece, from)) {
        kept += QByteArrayView(text).sliced(from, at - from);
        from = at + piece.size();
    }
    kept += QByteArrayView(text).sliced(from);
    return kept;
}

} // namespace

QByteArray dialStringFromLink(const QByteArray& link, const DialOptions& options)
{
    QByteArray rest = link.mid(LinkPrefixLength);
    rest = withoutCaseless(rest, QByteArrayLiteral("%20"));
    rest.replace(' ', QByteArray());
    rest.replace('.', QByteArray());
    if (rest.isEmpty())
        return {};

    const bool patientLink = rest.startsWith('p');
    const QByteArray dialledNumber =
        patientLink ? withoutCaseless(field(rest, 1), QByteArrayLiteral("p:")) : field(rest, 1);
    const QByteArray code = options.businessCode ? field(rest, patientLink ? 3 : 2) : QByteArray();
    const QByteArray outside = options.outsideLine ? options.outsidePrefix : QByteArray();
    const QByteArray hide = patientLink && options.hideNumber ? options.hidePrefix : QByteArray();
    return code + outside + hide + dialledNumber;
}
