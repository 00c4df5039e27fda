#pragma once

#include <QString>
#include <QtGlobal>

// What can go wrong around an external program. Each error has a numeric code and a readable description; the
// runner itself raises only inputStringEncodingError and platform errors, the other cases serve callers that
// turn a program's output into strings, JSON or property lists.
class SubprocessError
{
public:
    enum class Kind {
        ExitedWithNonZeroStatus,
        UnexpectedPropertyListObject,
        UnexpectedJsonObject,
        InputStringEncodingError,
        OutputStringEncodingError,
        // A failed system call: the code is its errno value.
        Platform,
    };

    // The code is the status itself and the description is the message.
    static SubprocessError exitedWithNonZeroStatus(qint32 status, const QString& message);
    static SubprocessError unexpectedPropertyListObject(const QString& detail);
    static SubprocessError unexpectedJsonObject(const QString& detail);
    static SubprocessError inputStringEncodingError();
    static SubprocessError outputStringEncodingError();
    // The description is the system's text for the errno value; the detail names what failed, such as a path.
    static SubprocessError platform(int errorNumber, const QString& detail = QString());

    Kind kind() const { return m_kind; }
    qint32 code() const { return m_code; }
    QString description() const;
    // The payload: the message of a non-zero exit, the detail of the other cases; empty when there is none.
    const QString& message() const { return m_message; }

    bool operator==(const SubprocessError&) const = default;

private:
    SubprocessError(Kind kind, qint32 code, const QString& message) : m_kind(kind), m_code(code), m_message(message) {}

    Kind m_kind;
    qint32 m_code;
    QString m_message;
};
