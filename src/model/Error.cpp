#include "model/Error.h"

#include <algorithm>

Error Error::at(Code code, const QByteArray& utf8, qint64 offset, QString message)
{
    Error error(code, std::move(message));
    error.offset = std::clamp<qint64>(offset, 0, utf8.size());
    qint64 lineStart = 0;
    for (qint64 i = 0; i < error.offset; ++i) {
        if (utf8[i] == '\n') {
            ++error.line;
            lineStart = i + 1;
        }
    }
    for (qint64 i = lineStart; i < error.offset; ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80)
            ++error.column;
    return error;
}
