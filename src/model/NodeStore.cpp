#include "model/NodeStore.h"

#include "model/Notifications.h"
#include "model/TreeNode.h"
#include "model/Utf8.h"

#include <algorithm>
#include <cstring>
#include <sys/mman.h>

namespace {

constexpr std::size_t mappedChunk = 1024 * 1024;
constexpr std::size_t maxChunk = 4 * 1024 * 1024;

std::uint32_t hashText(std::string_view text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

bool isAscii(std::string_view text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

} // namespace

NodeStore::NodeStore() = default;

Notifications& NodeStore::notifications()
{
    // Made on first use: a tree nobody edits or listens to (an archive decoded, a value converted) needs none.
    if (!m_notifications)
        m_notifications = std::make_unique<Notifications>();
    return *m_notifications;
}

NodeStore::~NodeStore()
{
    for (const Chunk& chunk : m_chunks) {
        if (chunk.mapped)
            munmap(chunk.data, chunk.size);
        else
            delete[] chunk.data;
    }
}

char* NodeStore::newChunk(std::size_t size)
{
    if (size >= mappedChunk) {
        // Large chunks are filled at once, so their pages are mapped in one call rather than faulted in one
        // by one: that is a good part of the time it takes to build a tree of millions of nodes.
        void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (data != MAP_FAILED) {
            m_chunks.push_back({static_cast<char*>(data), size, true});
            return m_chunks.back().data;
        }
    }
    m_chunks.push_back({new char[size], size, false});
    return m_chunks.back().data;
}

void* NodeStore::allocate(std::size_t size, std::size_t align)
{
    auto aligned = [&](char* p) {
        return reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(p) + align - 1) & ~(align - 1));
    };
    char* start = m_cursor ? aligned(m_cursor) : nullptr;
    if (!start || start + size > m_end) {
        if (size + align > m_nextChunk / 4) {
            // Large blocks get their own chunk so the current one keeps its free space.
            return aligned(newChunk(size + align));
        }
        m_cursor = newChunk(m_nextChunk);
        m_end = m_cursor + m_nextChunk;
        m_nextChunk = std::min(m_nextChunk * 2, maxChunk);
        start = aligned(m_cursor);
    }
    m_cursor = start + size;
    return start;
}

TreeNode* NodeStore::newNode()
{
    return new (allocate(sizeof(TreeNode), alignof(TreeNode))) TreeNode;
}

TreeNode** NodeStore::newChildList(std::uint32_t capacity)
{
    auto* block = static_cast<std::uintptr_t*>(allocate(sizeof(std::uintptr_t) * (capacity + 1), alignof(void*)));
    block[0] = capacity;
    return reinterpret_cast<TreeNode**>(block + 1);
}

std::uint32_t NodeStore::childListCapacity(TreeNode* const* list)
{
    return list ? std::uint32_t(reinterpret_cast<const std::uintptr_t*>(list)[-1]) : 0;
}

const char* NodeStore::newString(std::string_view text)
{
    const auto size = std::uint32_t(text.size());
    char* blob = static_cast<char*>(allocate(sizeof size + text.size(), alignof(std::uint32_t)));
    std::memcpy(blob, &size, sizeof size);
    std::memcpy(blob + sizeof size, text.data(), text.size());
    return blob;
}

void NodeStore::growKeyTable()
{
    std::vector<const NodeKey*> table(m_keys.empty() ? 256 : m_keys.size() * 2, nullptr);
    const std::size_t mask = table.size() - 1;
    for (const NodeKey* key : m_keys) {
        if (!key)
            continue;
        std::size_t i = key->hash & mask;
        while (table[i])
            i = (i + 1) & mask;
        table[i] = key;
    }
    m_keys.swap(table);
}

std::size_t NodeStore::allocatedBytes() const
{
    std::size_t bytes = m_keys.capacity() * sizeof(const NodeKey*);
    for (const Chunk& chunk : m_chunks)
        bytes += chunk.size;
    return bytes;
}

const NodeKey* NodeStore::intern(std::string_view text)
{
    if (text.empty())
        return nullptr;
    if ((m_keyCount + 1) * 2 > m_keys.size())
        growKeyTable();
    const std::uint32_t hash = hashText(text);
    const std::size_t mask = m_keys.size() - 1;
    std::size_t i = hash & mask;
    while (const NodeKey* key = m_keys[i]) {
        if (key->hash == hash && key->text == text)
            return key;
        i = (i + 1) & mask;
    }
    auto* key = new (allocate(sizeof(NodeKey), alignof(NodeKey))) NodeKey;
    char* copy = static_cast<char*>(allocate(text.size(), 1));
    std::memcpy(copy, text.data(), text.size());
    key->text = std::string_view(copy, text.size());
    key->sortText = key->text;
    key->hash = hash;
    if (!isAscii(text)) {
        const QByteArray normal = utf8ToQString(text).normalized(QString::NormalizationForm_C).toUtf8();
        if (std::string_view(normal.constData(), size_t(normal.size())) != key->text) {
            char* sortCopy = static_cast<char*>(allocate(size_t(normal.size()), 1));
            std::memcpy(sortCopy, normal.constData(), size_t(normal.size()));
            key->sortText = std::string_view(sortCopy, size_t(normal.size()));
        }
    }
    m_keys[i] = key;
    ++m_keyCount;
    return key;
}

int compareKeys(const NodeKey* a, const NodeKey* b)
{
    if (a == b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    // UTF-8 byte order is code-point order.
    if (int c = a->sortText.compare(b->sortText))
        return c;
    return a->text.compare(b->text);
}
