#include "jq/Subprocess.h"

#include "jq/FileDescriptor.h"
#include "jq/SerialQueue.h"
#include "jq/SubprocessDependencyBuilder.h"
#include "jq/SubprocessErrors.h"
#include "model/Log.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace {

QString systemMessage(int errorNumber)
{
    return QString::fromStdString(std::generic_category().message(errorNumber));
}

struct FactorySlot
{
    std::mutex mutex;
    std::shared_ptr<SubprocessDependencyFactory> factory;
};

FactorySlot& factorySlot()
{
    static FactorySlot slot;
    return slot;
}

int niceIncrement(Subprocess::QualityOfService qualityOfService)
{
    switch (qualityOfService) {
    case Subprocess::QualityOfService::Utility:
        return 5;
    case Subprocess::QualityOfService::Background:
        return 10;
    default:
        // Raising the priority above the program's own would need privileges.
        return 0;
    }
}

// An output pipe: the read end stays here and does not block, the write end goes to the child.
struct OutputPipe
{
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

Result<OutputPipe> makeOutputPipe()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return platformError(errno, QStringLiteral("pipe"));
    OutputPipe pipe{FileDescriptor(ends[0]), FileDescriptor(ends[1])};
    const int flags = ::fcntl(pipe.readEnd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(pipe.readEnd.get(), F_SETFL, flags | O_NONBLOCK) < 0)
        return platformError(errno, QStringLiteral("pipe"));
    return pipe;
}

// The text in the encoding, or nothing when the encoding cannot hold all of it. The encoder flags characters
// it replaces, but it keeps a trailing unpaired surrogate back for a next chunk that never comes, and its
// stateless mode stops counting for some encodings; so the bytes must also decode to the very same text.
std::optional<QByteArray> encodeWithoutLoss(const QString& text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
    const QString decoded = decoder.decode(bytes);
    if (decoder.hasError() || decoded != text)
        return std::nullopt;
    return bytes;
}

} // namespace

// Counts what is outstanding: one unit for the process until it has terminated, one per output pipe until it
// reaches end of stream. Reaching zero hands the termination report to the queue, once.
struct Subprocess::Group
{
    std::mutex mutex;
    std::condition_variable emptied;
    int count = 0;
    std::function<void()> whenEmpty;

    void enter(int units, std::function<void()> action)
    {
        std::lock_guard lock(mutex);
        count += units;
        whenEmpty = std::move(action);
    }

    void leave()
    {
        std::function<void()> action;
        {
            std::lock_guard lock(mutex);
            // After a failed start the units were withdrawn; a late leave must not go below zero.
            if (count == 0)
                return;
            if (--count == 0)
                action = std::exchange(whenEmpty, nullptr);
        }
        if (action)
            action();
        emptied.notify_all();
    }

    // Withdraws every unit and the pending action, which is handed back to be released outside the lock.
    std::function<void()> cancel()
    {
        std::lock_guard lock(mutex);
        count = 0;
        return std::exchange(whenEmpty, nullptr);
    }

    void wait()
    {
        std::unique_lock lock(mutex);
        emptied.wait(lock, [this] { return count == 0; });
    }
};

// Moves bytes between the runner and the child on a thread of its own: reads each output pipe as data
// arrives and hands the chunks to the queue, and writes a data input whenever its pipe can take more.
struct Subprocess::Pump
{
    FileDescriptor output;
    FileDescriptor error;
    std::shared_ptr<const DataHandler> outputHandler;
    std::shared_ptr<const DataHandler> errorHandler;
    std::optional<SubprocessDataPipe> input;
    std::shared_ptr<SerialQueue> queue;
    std::shared_ptr<Group> group;
    // Readable once the runner asks the pump to stop.
    FileDescriptor stopEvent;

    void stop() { ::eventfd_write(stopEvent.get(), 1); }

    // Blocks until the launch has gone one way or the other; nothing moves for a child that never started.
    void run(std::future<bool> started)
    {
        if (started.get())
            pump();
        // Released on this thread, not the runner's, whichever ends last.
        outputHandler.reset();
        errorHandler.reset();
    }

    void pump()
    {
        char buffer[64 * 1024];
        for (;;) {
            pollfd descriptors[4];
            nfds_t count = 0;
            const auto watch = [&](int descriptor, short events) {
                if (descriptor < 0)
                    return -1;
                descriptors[count] = pollfd{descriptor, events, 0};
                return static_cast<int>(count++);
            };
            const int outputIndex = watch(output.get(), POLLIN);
            const int errorIndex = watch(error.get(), POLLIN);
            const int inputIndex = watch(input ? input->writeDescriptor() : -1, POLLOUT);
            if (count == 0)
                return;
            const int stopIndex = watch(stopEvent.get(), POLLIN);

            if (::poll(descriptors, count, -1) < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                // Waiting cannot go on; ending the streams here beats a termination report that never comes.
                BW_LOG_ERROR("pumpSubprocess", systemMessage(errno));
                endStream(output, outputHandler);
                endStream(error, errorHandler);
                input.reset();
                return;
            }
            if (descriptors[stopIndex].revents != 0)
                return;
            if (outputIndex >= 0 && descriptors[outputIndex].revents != 0)
                readChunk(output, outputHandler, buffer, sizeof buffer);
            if (errorIndex >= 0 && descriptors[errorIndex].revents != 0)
                readChunk(error, errorHandler, buffer, sizeof buffer);
            if (inputIndex >= 0 && descriptors[inputIndex].revents != 0)
                input->writeAvailable();
        }
    }

    void readChunk(FileDescriptor& stream, std::shared_ptr<const DataHandler>& handler, char* buffer, size_t size)
    {
        const ssize_t length = ::read(stream.get(), buffer, size);
        if (length > 0) {
            queue->enqueue([handler, chunk = QByteArray(buffer, length)] { (*handler)(chunk); });
            return;
        }
        if (length < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (length < 0)
            BW_LOG_ERROR("pumpSubprocess", systemMessage(errno));
        endStream(stream, handler);
    }

    // The leave goes through the queue so that it follows every chunk already handed over.
    void endStream(FileDescriptor& stream, std::shared_ptr<const DataHandler>& handler)
    {
        if (!stream.isValid())
            return;
        stream.reset();
        handler.reset();
        queue->enqueue([group = group] { group->leave(); });
    }
};

std::shared_ptr<Subprocess> Subprocess::create(const QStringList& command, QualityOfService qualityOfService)
{
    return std::make_shared<Subprocess>(ConstructionKey{}, command, qualityOfService);
}

Subprocess::Subprocess(ConstructionKey, const QStringList& command, QualityOfService qualityOfService)
    : m_group(std::make_shared<Group>()), m_process(dependencyFactory()->createProcess(command)),
      m_queue(std::make_shared<SerialQueue>("SubprocessQueue", niceIncrement(qualityOfService)))
{}

Subprocess::~Subprocess()
{
    // Normally the pump is done by now; it may still be feeding input to a grandchild that inherited it.
    if (m_pump)
        m_pump->stop();
    if (m_pumpThread.joinable()) {
        // A handler holding the runner can make the pump thread release the last reference.
        if (m_pumpThread.get_id() == std::this_thread::get_id())
            m_pumpThread.detach();
        else
            m_pumpThread.join();
    }
}

std::shared_ptr<SubprocessDependencyFactory> Subprocess::dependencyFactory()
{
    FactorySlot& slot = factorySlot();
    std::lock_guard lock(slot.mutex);
    if (!slot.factory)
        slot.factory = std::make_shared<SubprocessDependencyBuilder>();
    return slot.factory;
}

void Subprocess::setDependencyFactory(std::shared_ptr<SubprocessDependencyFactory> factory)
{
    FactorySlot& slot = factorySlot();
    std::shared_ptr<SubprocessDependencyFactory> previous;
    std::lock_guard lock(slot.mutex);
    previous = std::exchange(slot.factory, std::move(factory));
}

qint32 Subprocess::processIdentifier() const
{
    return m_process ? m_process->processIdentifier() : 0;
}

qint32 Subprocess::terminationStatus() const
{
    return m_process ? m_process->terminationStatus() : 0;
}

bool Subprocess::isRunning() const
{
    return m_process && m_process->isRunning();
}

Subprocess::TerminationReason Subprocess::terminationReason() const
{
    return m_process ? m_process->terminationReason() : TerminationReason::Exit;
}

Result<void> Subprocess::launch(const std::optional<Input>& input, DataHandler outputHandler, DataHandler errorHandler,
                                TerminationHandler terminationHandler)
{
    // Declared first so that it goes last: a failed launch releases the report's reference to this runner.
    const std::shared_ptr<Subprocess> self = shared_from_this();
    if (m_launched.exchange(true))
        return platformError(EALREADY, QStringLiteral("The runner was launched before"));
    if (!m_process)
        return platformError(EINVAL, QStringLiteral("The factory made no process"));
    const std::shared_ptr<SubprocessDependencyFactory> factory = dependencyFactory();

    // Standard input comes first: when it cannot be had, nothing else is set up.
    std::optional<SubprocessDataPipe> dataPipe;
    FileDescriptor standardInput;
    if (input) {
        const auto useDataPipe = [&](const QByteArray& bytes) -> Result<void> {
            Result<SubprocessDataPipe> made = factory->createDataPipe(bytes);
            if (!made)
                return made.error();
            dataPipe.emplace(std::move(made).value());
            standardInput = dataPipe->takeReadEnd();
            return {};
        };
        Result<void> prepared;
        if (const auto* data = std::get_if<Input::Data>(&input->value)) {
            prepared = useDataPipe(data->bytes);
        } else if (const auto* text = std::get_if<Input::Text>(&input->value)) {
            const std::optional<QByteArray> bytes = encodeWithoutLoss(text->text, text->encoding);
            prepared = bytes ? useDataPipe(*bytes) : Error(Error::Code::InputEncoding, QString());
        } else if (const auto* file = std::get_if<Input::File>(&input->value)) {
            Result<FileDescriptor> opened = factory->openFileForReading(file->url);
            if (opened)
                standardInput = std::move(opened).value();
            else
                prepared = opened.error();
        }
        if (!prepared)
            return prepared;
    }

    // A stream without a handler has no pipe: the child's end stays invalid and becomes the null device.
    OutputPipe outputPipe;
    OutputPipe errorPipe;
    if (outputHandler) {
        Result<OutputPipe> made = makeOutputPipe();
        if (!made)
            return made.error();
        outputPipe = std::move(made).value();
    }
    if (errorHandler) {
        Result<OutputPipe> made = makeOutputPipe();
        if (!made)
            return made.error();
        errorPipe = std::move(made).value();
    }

    // The queue and the pump need their threads before the child exists: a child nobody drains could fill
    // its pipes and never finish.
    if (!m_queue->start())
        return platformError(EAGAIN, QStringLiteral("No thread for the queue"));
    const int eventDescriptor = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (eventDescriptor < 0)
        return platformError(errno, QStringLiteral("eventfd"));
    auto pump = std::make_shared<Pump>();
    pump->stopEvent.reset(eventDescriptor);
    pump->output = std::move(outputPipe.readEnd);
    pump->error = std::move(errorPipe.readEnd);
    if (outputHandler)
        pump->outputHandler = std::make_shared<const DataHandler>(std::move(outputHandler));
    if (errorHandler)
        pump->errorHandler = std::make_shared<const DataHandler>(std::move(errorHandler));
    pump->input = std::move(dataPipe);
    pump->queue = m_queue;
    pump->group = m_group;
    const int streams = int(pump->output.isValid()) + int(pump->error.isValid());
    std::promise<bool> started;
    try {
        m_pumpThread = std::thread([pump, outcome = started.get_future()]() mutable {
            pthread_setname_np(pthread_self(), "SubprocessPump");
            pump->run(std::move(outcome));
        });
    } catch (const std::system_error& failure) {
        return platformError(failure.code().value(), QStringLiteral("No thread for the pipes"));
    }
    m_pump = pump;

    m_process->setStandardInput(std::move(standardInput));
    m_process->setStandardOutput(std::move(outputPipe.writeEnd));
    m_process->setStandardError(std::move(errorPipe.writeEnd));

    // The process's callback holds the group weakly: it must not keep the runner's state alive by itself.
    m_group->enter(streams + 1, [queue = m_queue, self, handler = std::move(terminationHandler)]() mutable {
        // The report holds the runner until it has run, so a caller may drop the runner once it is started.
        queue->enqueue([self = std::move(self), handler = std::move(handler)] {
            if (handler)
                handler(*self);
        });
    });
    m_process->setTerminationHandler([group = std::weak_ptr<Group>(m_group)] {
        if (const auto locked = group.lock())
            locked->leave();
    });

    Result<void> running = m_process->start();
    if (!running) {
        m_process->setTerminationHandler({});
        const std::function<void()> withdrawn = m_group->cancel();
        started.set_value(false);
        m_pumpThread.join();
        m_pump.reset();
        return running;
    }
    started.set_value(true);
    return {};
}

Result<void> Subprocess::launchCollectingOutput(const std::optional<Input>& input, CollectingHandler terminationHandler)
{
    // Only the queue touches the buffers, one handler at a time.
    struct Collected
    {
        QByteArray output;
        QByteArray error;
    };
    auto collected = std::make_shared<Collected>();
    return launch(
        input, [collected](const QByteArray& chunk) { collected->output += chunk; },
        [collected](const QByteArray& chunk) { collected->error += chunk; },
        [collected, handler = std::move(terminationHandler)](Subprocess& runner) {
            if (handler)
                handler(runner, collected->output, collected->error);
        });
}

bool Subprocess::suspend()
{
    return m_process && m_process->suspend();
}

bool Subprocess::resume()
{
    return m_process && m_process->resume();
}

void Subprocess::terminate()
{
    if (m_process)
        m_process->terminate();
}

bool Subprocess::waitForTermination()
{
    if (m_queue->isCurrentThread()) {
        BW_LOG_ERROR("waitForTermination", QStringLiteral("Called on the runner's own queue, which it would block"));
        return false;
    }
    m_group->wait();
    return true;
}
