#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Why an operation of the model or a subsystem failed: a code to act on (and to test), the text the user is
// shown, and for text that could not be read, where in it. Fallible functions return it in a Result.
struct Error
{
    // Only codes something returns; grouped by where they arise.
    enum class Code {
        // Reading JSON text (JsonReader, RelaxedReader, Document).
        EmptyText,        // nothing but white space
        Syntax,           // a character missing, out of place or after the end; a comment or value left open
        TooDeep,          // nested deeper than JsonReader::maxDepth
        BadString,        // a bad escape, a raw control character, a string not closed
        BadLiteral,       // not true, false or null
        BadNumber,        // not a number JSON can hold
        NumberOutOfRange, // a number beyond a double
        BadEncoding,      // not valid UTF-8, or UTF-16/32 after its byte-order mark
        NotContainer,     // the top level is not an array or an object
        TooLarge,         // beyond what the reader or a document takes
        OutOfMemory,
        // Files and devices.
        FileRead,
        FileWrite,
        // Writing JSON and the exports.
        NoContent,         // no tree to write
        NotWritable,       // the tree holds what the format cannot say: a top-level scalar, a non-finite number,
                           // a leaf without a value, a character XML refuses
        PropertyListLimit, // beyond what a property list holds (nesting, sizes)
        UnknownFormat,     // a property list format that cannot be written
        BadArchive,        // a keyed archive that does not decode
        // Child processes (ChildProcess).
        ProcessBusy,       // a run is still going
        ProcessNotStarted, // the program could not be started
        ProcessCrashed,    // a signal ended it
        ProcessFailed,     // it exited with a non-zero status
        // External programs run by Subprocess, which also reports a non-zero exit as ProcessFailed. `message`
        // holds the detail (what failed, such as a path); subprocessDescription gives the readable text.
        UnexpectedPropertyList, // a program's property list output is not of the expected type
        UnexpectedJson,         // a program's JSON output is not of the expected type
        InputEncoding,          // text input the chosen encoding cannot hold
        OutputEncoding,         // output that does not decode as the expected encoding
        Platform,               // a system call failed; its errno value in `status`
        // Downloads (Downloader).
        Transfer,      // the transfer failed
        HttpStatus,    // an HTTP status outside 200-299, in `status`
        EmptyResponse, // no body, or one that is not UTF-8
        NotJson,       // a body that is not a JSON array or object
    };

    Code code = Code::Syntax;
    QString message; // the text shown to the user, as it is
    // For reading errors: where the reader stopped.
    qint64 offset = 0; // bytes into the UTF-8 text
    int line = 1;      // 1-based
    int column = 1;    // 1-based, in characters
    // The HTTP status of a refused download, the exit status of a failed program or the signal that ended it,
    // the errno value of a Platform error.
    int status = 0;

    Error() = default;
    Error(Code errorCode, QString text) : code(errorCode), message(std::move(text)) {}

    // A reading error at a byte offset of the UTF-8 text, with its line and column.
    static Error at(Code code, const QByteArray& utf8, qint64 offset, QString message);

    // For reading errors: "message (line L, column C, byte offset O)".
    QString description() const
    {
        return QStringLiteral("%1 (line %2, column %3, byte offset %4)").arg(message).arg(line).arg(column).arg(offset);
    }
};
