#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class Notifications;
struct SearchSettings;
class TreeNode;

// A member name, stored once per tree however many members share it.
struct NodeKey
{
    std::string_view text;     // UTF-8
    std::string_view sortText; // canonical (NFC) form used for ordering; the same as text when already NFC
    std::uint32_t hash = 0;
};

// Owns every node, child list, string and key of one tree. A tree of millions of nodes is a few large blocks
// instead of millions of small allocations, and dropping the tree frees it at once. Used by one thread at a
// time: a tree is built on a worker and then handed to the main thread.
class NodeStore
{
public:
    NodeStore();
    ~NodeStore();
    NodeStore(const NodeStore&) = delete;
    NodeStore& operator=(const NodeStore&) = delete;

    TreeNode* newNode();
    // Room for `capacity` child pointers; the capacity is kept in front of the list.
    TreeNode** newChildList(std::uint32_t capacity);
    static std::uint32_t childListCapacity(TreeNode* const* list);
    // A length-prefixed UTF-8 string.
    const char* newString(std::string_view text);
    // The empty name is no key (nullptr).
    const NodeKey* intern(std::string_view text);
    // Memory the store holds: its blocks and its key table.
    std::size_t allocatedBytes() const;
    // Names interned so far, including ones no node carries any more.
    std::size_t keyCount() const { return m_keyCount; }

    // The tree's own state, shared by all its nodes. The generation advances with every edit of the tree.
    qint64 generation = 0;
    // The tree's notifications, made on first use.
    Notifications& notifications();
    // The search the tree's filter, counts and icons follow; none means no search and no icons. Not owned.
    const SearchSettings* searchSettings = nullptr;

    // Descriptions of collections, valid for one tree generation.
    QHash<const TreeNode*, QString> descriptions;
    qint64 descriptionsGeneration = -1;

private:
    void* allocate(std::size_t size, std::size_t align);
    void growKeyTable();

    struct Chunk
    {
        char* data;
        std::size_t size;
        bool mapped; // from mmap rather than new[]
    };
    char* newChunk(std::size_t size);

    char* m_cursor = nullptr;
    char* m_end = nullptr;
    std::size_t m_nextChunk = 64 * 1024;
    std::vector<Chunk> m_chunks;
    std::vector<const NodeKey*> m_keys; // open addressing, power-of-two size
    std::size_t m_keyCount = 0;
    std::unique_ptr<Notifications> m_notifications;
};

namespace StoredString {
inline std::string_view view(const char* blob)
{
    std::uint32_t size;
    __builtin_memcpy(&size, blob, sizeof size);
    return {blob + sizeof size, size};
}
} // namespace StoredString

// The writer's order of member names: code points after canonical normalisation, then the raw bytes, so that
// the text never depends on the order of the children. (The tree keeps names that are equal after
// normalisation in their input order.)
int compareKeys(const NodeKey* a, const NodeKey* b);
