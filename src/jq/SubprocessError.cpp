#include "jq/SubprocessError.h"

#include <system_error>

SubprocessError SubprocessError::exitedWithNonZeroStatus(qint32 status, const QString& message)
{
    return SubprocessError(Kind::ExitedWithNonZeroStatus, status, message);
}

SubprocessError SubprocessError::unexpectedPropertyListObject(const QString& detail)
{
    return SubprocessError(Kind::UnexpectedPropertyListObject, 10, detail);
}

SubprocessError SubprocessError::unexpectedJsonObject(const QString& detail)
{
    return SubprocessError(Kind::UnexpectedJsonObject, 20, detail);
}

SubprocessError SubprocessError::inputStringEncodingError()
{
    return SubprocessError(Kind::InputStringEncodingError, 30, QString());
}

SubprocessError SubprocessError::outputStringEncodingError()
{
    return SubprocessError(Kind::OutputStringEncodingError, 40, QString());
}

SubprocessError SubprocessError::platform(int errorNumber, const QString& detail)
{
    return SubprocessError(Kind::Platform, errorNumber, detail);
}

QString SubprocessError::description() const
{
    switch (m_kind) {
    case Kind::ExitedWithNonZeroStatus:
        return m_message;
    case Kind::UnexpectedPropertyListObject:
        return QStringLiteral("The property list object could not be cast to expected type");
    case Kind::UnexpectedJsonObject:
        return QStringLiteral("The JSON object could not be cast to expected type");
    case Kind::InputStringEncodingError:
        return QStringLiteral("Input string could not be encoded");
    case Kind::OutputStringEncodingError:
        return QStringLiteral("Output string could not be encoded");
    case Kind::Platform:
        // The category's message is thread-safe, unlike strerror.
        return QString::fromStdString(std::generic_category().message(m_code));
    }
    return QString();
}
