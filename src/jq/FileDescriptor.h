#pragma once

// Owns one POSIX file descriptor and closes it when destroyed, so that no early return in the runner leaves a
// pipe end open (an open write end would keep a reader from ever seeing end of stream).
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~FileDescriptor() { reset(); }

    FileDescriptor(FileDescriptor&& other) noexcept : m_descriptor(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_descriptor; }
    bool isValid() const { return m_descriptor >= 0; }

    // Hands the descriptor over without closing it.
    int release()
    {
        const int descriptor = m_descriptor;
        m_descriptor = -1;
        return descriptor;
    }

    // Closes the current descriptor (errors are of no use here) and takes the given one.
    void reset(int descriptor = -1);

private:
    int m_descriptor = -1;
};
