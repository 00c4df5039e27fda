#include "model/PipelinedParse.h"

#include "model/EventRing.h"
#include "model/JsonReader.h"

#include <thread>

namespace PipelinedParse {
namespace {

// Below this size a second thread costs more than it saves.
constexpr qsizetype kPipelineThreshold = 2 * 1024 * 1024;

} // namespace

Result<void> parse(QByteArray& utf8, TreeBuilder& builder, std::vector<qsizetype>* topElements)
{
    if (utf8.size() < kPipelineThreshold || std::thread::hardware_concurrency() < 2)
        return JsonReader::parse(utf8, builder, topElements);
    EventRing ring;
    std::thread consumer([&ring, &builder] { ring.drainInto(builder); });
    // The reader settles the ring before its buffers go away (see EventRing::settle).
    auto parsed = JsonReader::parse(utf8, ring, topElements);
    consumer.join();
    return parsed;
}

} // namespace PipelinedParse
