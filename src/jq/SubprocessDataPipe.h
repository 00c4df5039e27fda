#pragma once

#include "jq/FileDescriptor.h"
#include "model/Result.h"

#include <QByteArray>

// A pipe that feeds fixed bytes to a child's standard input. The read end goes to the child; the write end is
// non-blocking and written whenever it can take more, so a child that reads slowly, or never, cannot stall the
// thread that also drains the child's output.
class SubprocessDataPipe
{
public:
    // A new pipe for the bytes, or the system's error.
    static Result<SubprocessDataPipe> create(const QByteArray& bytes);

    // Takes over both ends of an existing pipe; the write end is made non-blocking.
    SubprocessDataPipe(FileDescriptor readEnd, FileDescriptor writeEnd, const QByteArray& bytes);

    // The end that becomes the child's standard input; invalid once taken.
    FileDescriptor takeReadEnd();

    // The end to wait on for writability; -1 once everything is written or the reader has gone.
    int writeDescriptor() const { return m_writeEnd.get(); }
    bool isFinished() const { return !m_writeEnd.isValid(); }

    // Writes as much as the pipe accepts now and closes the write end after the last byte, so that the child
    // sees end of input. A reader that has gone away ends the writing quietly: the child may exit without
    // reading all of its input, and that must neither raise SIGPIPE nor count as a failure.
    void writeAvailable();

private:
    FileDescriptor m_readEnd;
    FileDescriptor m_writeEnd;
    QByteArray m_bytes;
    qsizetype m_written = 0;
};
