#include "cli/text_encoding.h"

namespace clarivex::cli {

QByteArray escapeFieldBytes(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (uchar(c) < 0x20 || uchar(c) == 0x7f) {
                out += "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            } else {
                out += c;
            }
        }
    }
    return out;
}

} // namespace clarivex::cli
