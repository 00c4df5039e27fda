#pragma once

#include "model/Error.h"

#include <QIODevice>
#include <cstdint>
#include <string>
#include <string_view>

// Buffered writing to a device, for writers that stream documents of hundreds of megabytes. A refused write
// makes every later one a no-op and failed() true.
class DeviceSink
{
public:
    explicit DeviceSink(QIODevice& device) : m_device(device) { m_buffer.reserve(kBufferSize); }
    DeviceSink(const DeviceSink&) = delete;
    DeviceSink& operator=(const DeviceSink&) = delete;

    void put(std::string_view bytes)
    {
        if (m_buffer.size() + bytes.size() > kBufferSize)
            flush();
        if (bytes.size() >= kBufferSize)
            writeToDevice(bytes);
        else
            m_buffer.append(bytes);
    }
    void put(char byte)
    {
        if (m_buffer.size() == kBufferSize)
            flush();
        m_buffer.push_back(byte);
    }
    // Bytes written so far, buffered ones included.
    std::uint64_t position() const { return m_written + m_buffer.size(); }
    bool flush()
    {
        writeToDevice(m_buffer);
        m_buffer.clear();
        return !m_failed;
    }
    // Flushes; false, with the device's reason, when any write failed.
    bool finish(Error& why)
    {
        if (flush())
            return true;
        why = Error(Error::Code::FileWrite, errorString());
        return false;
    }
    bool failed() const { return m_failed; }
    QString errorString() const { return m_device.errorString(); }

private:
    static constexpr std::size_t kBufferSize = std::size_t(1) << 20;

    void writeToDevice(std::string_view bytes)
    {
        m_written += bytes.size();
        if (m_failed || bytes.empty())
            return;
        if (m_device.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
            m_failed = true;
    }

    QIODevice& m_device;
    std::string m_buffer;
    std::uint64_t m_written = 0;
    bool m_failed = false;
};
