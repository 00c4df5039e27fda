#pragma once

#include <QString>

// Where and why JSON text could not be read.
struct ParseError
{
    qint64 offset = 0; // bytes into the UTF-8 text
    int line = 1;      // 1-based
    int column = 1;    // 1-based, in characters
    QString message;

    // "message (line L, column C, byte offset O)"
    QString description() const
    {
        return QStringLiteral("%1 (line %2, column %3, byte offset %4)").arg(message).arg(line).arg(column).arg(offset);
    }
};
