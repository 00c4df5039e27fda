#pragma once

#include "model/TreeBuilder.h"

#include <atomic>
#include <string_view>
#include <vector>

// One value reported by the reader, as it travels from the reading thread to the building thread.
struct ReaderEvent
{
    enum Type : std::uint32_t {
        BeginArray,
        BeginObject,
        Key,
        EndArray,
        EndObject,
        Integer,
        Real,
        Boolean,
        Null,
        String
    };
    Type type;
    std::uint32_t size; // of the text for Key and String
    union {
        qint64 integer;
        double real;
        bool boolean;
        const char* text; // points into the parsed text or the parser's buffers, valid until parsing ends
    };
};
static_assert(sizeof(ReaderEvent) == 16);

// A single-producer single-consumer ring of events, published in batches: the reader pushes from one
// thread while drainInto() feeds a tree builder on another.
class EventRing
{
public:
    static constexpr std::size_t kCapacity = 1 << 18;
    static constexpr std::size_t kBatch = 4096;

    // Producer side: the reader reports values here.
    void beginArray() { push({ReaderEvent::BeginArray, 0, {0}}); }
    void beginObject() { push({ReaderEvent::BeginObject, 0, {0}}); }
    void key(std::string_view utf8) { pushText(ReaderEvent::Key, utf8); }
    void endArray() { push({ReaderEvent::EndArray, 0, {0}}); }
    void endObject() { push({ReaderEvent::EndObject, 0, {0}}); }
    void integer(qint64 value) { push({ReaderEvent::Integer, 0, {value}}); }
    void real(double value)
    {
        ReaderEvent event{ReaderEvent::Real, 0, {0}};
        event.real = value;
        push(event);
    }
    void boolean(bool value) { push({ReaderEvent::Boolean, 0, {qint64(value)}}); }
    void null() { push({ReaderEvent::Null, 0, {0}}); }
    void string(std::string_view utf8) { pushText(ReaderEvent::String, utf8); }

    // Producer, while the texts the events point to are still alive: publishes what is left, or on failure
    // tells the consumer to stop, then waits until the consumer has stopped using the events.
    void settle(bool ok)
    {
        if (!ok)
            m_cancelled.store(true, std::memory_order_release);
        publish();
        m_done.store(true, std::memory_order_release);
        signal(m_toConsumer);
        for (std::uint32_t seen = m_toProducer.load(std::memory_order_acquire);
             !m_stopped.load(std::memory_order_acquire); seen = m_toProducer.load(std::memory_order_acquire))
            wait(m_toProducer, seen, [this] { return m_stopped.load(std::memory_order_acquire); });
    }

    // Consumer: hands every event to the builder until the producer settles.
    void drainInto(TreeBuilder& builder)
    {
        std::size_t read = 0;
        while (!m_cancelled.load(std::memory_order_acquire)) {
            const std::uint32_t seen = m_toConsumer.load(std::memory_order_acquire);
            const std::size_t available = m_published.load(std::memory_order_acquire);
            if (available == read) {
                if (m_done.load(std::memory_order_acquire) && m_published.load(std::memory_order_acquire) == read)
                    break;
                wait(m_toConsumer, seen, [&] { return m_published.load(std::memory_order_acquire) != read; });
                continue;
            }
            for (; read < available; ++read)
                dispatch(m_events[read % kCapacity], builder);
            m_consumed.store(read, std::memory_order_release);
            signal(m_toProducer);
        }
        m_stopped.store(true, std::memory_order_release);
        signal(m_toProducer);
    }

private:
    // Waits until `ready` holds or the counter moves past `seen`: a short spin, then the futex.
    template <class Ready> static void wait(std::atomic<std::uint32_t>& counter, std::uint32_t seen, Ready ready)
    {
        for (int spin = 0; spin < 256; ++spin) {
            if (ready() || counter.load(std::memory_order_acquire) != seen)
                return;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        counter.wait(seen, std::memory_order_acquire);
    }

    static void signal(std::atomic<std::uint32_t>& counter)
    {
        counter.fetch_add(1, std::memory_order_acq_rel);
        counter.notify_one();
    }

    void pushText(ReaderEvent::Type type, std::string_view utf8)
    {
        ReaderEvent event{type, std::uint32_t(utf8.size()), {0}};
        event.text = utf8.data();
        push(event);
    }

    void push(const ReaderEvent& event)
    {
        while (m_written - m_freeFrom >= kCapacity) {
            // Full: wait until the consumer has taken a batch.
            const std::uint32_t seen = m_toProducer.load(std::memory_order_acquire);
            m_freeFrom = m_consumed.load(std::memory_order_acquire);
            if (m_written - m_freeFrom < kCapacity)
                break;
            wait(m_toProducer, seen, [this] { return m_consumed.load(std::memory_order_acquire) != m_freeFrom; });
        }
        m_events[m_written % kCapacity] = event;
        if (++m_written % kBatch == 0)
            publish();
    }

    void publish()
    {
        m_published.store(m_written, std::memory_order_release);
        signal(m_toConsumer);
    }

    static void dispatch(const ReaderEvent& event, TreeBuilder& builder)
    {
        switch (event.type) {
        case ReaderEvent::BeginArray:
            builder.beginArray();
            break;
        case ReaderEvent::BeginObject:
            builder.beginObject();
            break;
        case ReaderEvent::Key:
            builder.key({event.text, event.size});
            break;
        case ReaderEvent::EndArray:
            builder.endArray();
            break;
        case ReaderEvent::EndObject:
            builder.endObject();
            break;
        case ReaderEvent::Integer:
            builder.integer(event.integer);
            break;
        case ReaderEvent::Real:
            builder.real(event.real);
            break;
        case ReaderEvent::Boolean:
            builder.boolean(event.boolean);
            break;
        case ReaderEvent::Null:
            builder.null();
            break;
        case ReaderEvent::String:
            builder.string({event.text, event.size});
            break;
        }
    }

    std::vector<ReaderEvent> m_events = std::vector<ReaderEvent>(kCapacity);
    std::size_t m_written = 0;  // producer only
    std::size_t m_freeFrom = 0; // producer's last view of m_consumed
    alignas(64) std::atomic<std::size_t> m_published{0};
    std::atomic<std::uint32_t> m_toConsumer{0}; // moves whenever the consumer may have something to do
    alignas(64) std::atomic<std::size_t> m_consumed{0};
    std::atomic<std::uint32_t> m_toProducer{0}; // moves whenever the producer may continue
    alignas(64) std::atomic<bool> m_done{false};
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_stopped{false};
};
