#pragma once

#include "model/Error.h"

#include <QString>
#include <QtGlobal>

// The errors around an external program, as Subprocess and the callers that read its output report them. The
// runner itself raises only InputEncoding and Platform errors.

// A failed system call: the errno value in `status`, what failed (such as a path) in `message`.
Error platformError(int errorNumber, const QString& detail = QString());

// The readable text: a failed program's own message, the system's text for an errno value, a fixed sentence
// for the other codes.
QString subprocessDescription(const Error& error);

// The number that identifies the error: the exit status, the errno value, or 10, 20, 30 and 40 for the property
// list, JSON, input and output encoding errors.
qint32 subprocessCode(const Error& error);
