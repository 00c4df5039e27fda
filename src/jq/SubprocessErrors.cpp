#include "jq/SubprocessErrors.h"

#include <system_error>

Error platformError(int errorNumber, const QString& detail)
{
    Error error(Error::Code::Platform, detail);
    error.status = errorNumber;
    return error;
}

QString subprocessDescription(const Error& error)
{
    switch (error.code) {
    case Error::Code::UnexpectedPropertyList:
        return QStringLiteral("The property list object could not be cast to expected type");
    case Error::Code::UnexpectedJson:
        return QStringLiteral("The JSON object could not be cast to expected type");
    case Error::Code::InputEncoding:
        return QStringLiteral("Input string could not be encoded");
    case Error::Code::OutputEncoding:
        return QStringLiteral("Output string could not be encoded");
    case Error::Code::Platform:
        // The category's message is thread-safe, unlike strerror.
        return QString::fromStdString(std::generic_category().message(error.status));
    default:
        return error.message;
    }
}

qint32 subprocessCode(const Error& error)
{
    switch (error.code) {
    case Error::Code::UnexpectedPropertyList:
        return 10;
    case Error::Code::UnexpectedJson:
        return 20;
    case Error::Code::InputEncoding:
        return 30;
    case Error::Code::OutputEncoding:
        return 40;
    default:
        return error.status;
    }
}
