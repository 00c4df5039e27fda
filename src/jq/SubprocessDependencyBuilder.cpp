#include "jq/SubprocessDependencyBuilder.h"

#include "jq/SpawnedProcess.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>

std::unique_ptr<SubprocessProcess> SubprocessDependencyBuilder::createProcess(const QStringList& command)
{
    return std::make_unique<SpawnedProcess>(command);
}

std::variant<FileDescriptor, SubprocessError> SubprocessDependencyBuilder::openFileForReading(const QUrl& url)
{
    if (!url.isLocalFile())
        return SubprocessError::platform(EINVAL, url.toString());
    const QString path = url.toLocalFile();
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return SubprocessError::platform(errno, path);
    return FileDescriptor(descriptor);
}

std::variant<SubprocessDataPipe, SubprocessError> SubprocessDependencyBuilder::createDataPipe(const QByteArray& bytes)
{
    return SubprocessDataPipe::create(bytes);
}
