#include "jq/FileDescriptor.h"

#include <unistd.h>

void FileDescriptor::reset(int descriptor)
{
    // Linux releases the descriptor even when close fails with EINTR, so retrying could close a stranger's.
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = descriptor;
}
