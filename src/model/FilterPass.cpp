#include "model/FilterPass.h"

#include "model/TreeNode.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace FilterPass {
namespace {

// Marks one subtree bottom-up; a node is kept for its own hit, or as a collection for a kept child.
struct Frame
{
    TreeNode* node;
    std::uint32_t next;
    bool below; // a child is kept
};

std::size_t runSubtree(TreeNode* top, const NodeMatcher& matcher, std::vector<Frame>& stack)
{
    std::size_t kept = 0;
    stack.clear();
    stack.push_back({top, 0, false});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.node->childCount()) {
            // Children of leaves are visited too: a view can still list them, though they never keep the leaf.
            stack.push_back({frame.node->child(frame.next++), 0, false});
            continue;
        }
        TreeNode* node = frame.node;
        const bool keep = matcher.ownHit(node) || (node->isCollection() && frame.below);
        node->setFilterVisible(keep);
        kept += keep;
        stack.pop_back();
        if (keep && !stack.empty())
            stack.back().below = true;
    }
    return kept;
}

// Appends `top` and the kept nodes below it in depth-first order, never entering what was not kept; with
// `everything`, every node regardless of the marks.
void listKept(TreeNode* top, bool everything, std::vector<TreeNode*>& rows, std::vector<Frame>& stack)
{
    if (!everything && !top->filterVisible())
        return;
    rows.push_back(top);
    stack.clear();
    stack.push_back({top, 0, false});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.node->childCount()) {
            stack.pop_back();
            continue;
        }
        TreeNode* child = frame.node->child(frame.next++);
        if (!everything && !child->filterVisible())
            continue;
        rows.push_back(child);
        if (child->childCount() > 0)
            stack.push_back({child, 0, false});
    }
}

bool anyChildKept(const TreeNode* node)
{
    const auto children = node->children();
    return std::any_of(children.begin(), children.end(), [](const TreeNode* c) { return c->filterVisible(); });
}

// The tree cut into independent subtrees, in depth-first order, by opening the widest nodes first so that
// every core can take a share. Opened nodes stay in the sequence, before their children, and are decided
// from their children afterwards.
struct Piece
{
    TreeNode* node;
    bool opened;
};

std::vector<Piece> cut(TreeNode* root)
{
    constexpr std::size_t wanted = 256;
    std::vector<Piece> pieces{{root, false}};
    std::size_t subtrees = 1;
    while (subtrees < wanted) {
        auto widest = pieces.end();
        for (auto it = pieces.begin(); it != pieces.end(); ++it)
            if (!it->opened && (widest == pieces.end() || it->node->childCount() > widest->node->childCount()))
                widest = it;
        if (widest == pieces.end() || widest->node->childCount() < 2)
            break;
        widest->opened = true;
        TreeNode* node = widest->node;
        std::vector<Piece> children;
        children.reserve(std::size_t(node->childCount()));
        for (TreeNode* child : node->children())
            children.push_back({child, false});
        pieces.insert(widest + 1, children.begin(), children.end());
        subtrees += children.size() - 1;
    }
    return pieces;
}

// A run of consecutive subtree pieces handled by one worker, and the rows it found.
struct Batch
{
    std::size_t first;
    std::size_t last;
    std::vector<TreeNode*> rows;
};

// The filter (without `matcher`, every node counts as kept and no mark changes), then the rows when asked.
std::size_t pass(TreeNode* root, const NodeMatcher* matcher, std::vector<TreeNode*>* rows)
{
    const std::vector<Piece> pieces = cut(root);

    // Batches never span an opened node, so that the rows can be put together in order afterwards.
    std::vector<Batch> batches;
    constexpr std::size_t batchSize = 64;
    for (std::size_t i = 0; i < pieces.size();) {
        if (pieces[i].opened) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last < pieces.size() && !pieces[last].opened && last - i < batchSize)
            ++last;
        batches.push_back({i, last, {}});
        i = last;
    }

    const unsigned helpers =
        batches.size() > 1 ? std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()) - 1, 7) : 0;
    // Without a matcher the workers only list rows; they still take one, which is never asked.
    const SearchSettings noSearch;
    const NodeMatcher none(noSearch);
    std::vector<NodeMatcher> matchers;
    matchers.reserve(helpers);
    for (unsigned i = 0; i < helpers; ++i)
        matchers.push_back((matcher ? *matcher : none).forAnotherThread());
    // Runs `step` on every batch, spread over this thread and the helpers.
    auto inParallel = [&](const auto& step) {
        std::atomic<std::size_t> nextBatch{0};
        auto work = [&](const NodeMatcher& own) {
            std::vector<Frame> stack;
            for (std::size_t b = nextBatch.fetch_add(1); b < batches.size(); b = nextBatch.fetch_add(1))
                step(batches[b], own, stack);
        };
        std::vector<std::thread> threads;
        for (unsigned i = 0; i < helpers; ++i)
            threads.emplace_back(work, std::cref(matchers[i]));
        work(matcher ? *matcher : none);
        for (std::thread& thread : threads)
            thread.join();
    };

    const bool everything = !matcher;
    std::atomic<std::size_t> kept{0};
    if (!everything)
        inParallel([&](Batch& batch, const NodeMatcher& own, std::vector<Frame>& stack) {
            std::size_t count = 0;
            for (std::size_t i = batch.first; i < batch.last; ++i)
                count += runSubtree(pieces[i].node, own, stack);
            kept += count;
        });

    std::size_t total = kept;
    // Opened nodes come before their children, so deciding them in reverse sees their children decided.
    for (auto it = pieces.rbegin(); it != pieces.rend() && !everything; ++it) {
        if (!it->opened)
            continue;
        TreeNode* node = it->node;
        const bool keep = matcher->ownHit(node) || (node->isCollection() && anyChildKept(node));
        node->setFilterVisible(keep);
        total += keep;
    }

    if (rows) {
        // Listing goes by the decided marks, so it skips whole subtrees the search left out.
        inParallel([&](Batch& batch, const NodeMatcher&, std::vector<Frame>& stack) {
            for (std::size_t i = batch.first; i < batch.last; ++i)
                listKept(pieces[i].node, everything, batch.rows, stack);
        });
        std::size_t size = rows->size();
        for (const Batch& batch : batches)
            size += batch.rows.size();
        rows->reserve(size);
        auto nextBatchRows = batches.begin();
        for (std::size_t i = 0; i < pieces.size();) {
            if (pieces[i].opened) {
                if (pieces[i].node != root && (everything || pieces[i].node->filterVisible()))
                    rows->push_back(pieces[i].node);
                ++i;
                continue;
            }
            const auto& found = nextBatchRows->rows;
            // The root is the caller's to list, never one of the rows below it.
            const auto from = !found.empty() && found.front() == root ? found.begin() + 1 : found.begin();
            rows->insert(rows->end(), from, found.end());
            i = nextBatchRows->last;
            ++nextBatchRows;
        }
    }
    return total;
}

} // namespace

std::size_t run(TreeNode* root, const NodeMatcher& matcher, std::vector<TreeNode*>* rows)
{
    return pass(root, &matcher, rows);
}

void listAll(TreeNode* root, std::vector<TreeNode*>& rows)
{
    pass(root, nullptr, &rows);
}

std::vector<TreeNode*> keptChildren(const TreeNode* node)
{
    std::vector<TreeNode*> result;
    for (TreeNode* child : node->children())
        if (child->filterVisible())
            result.push_back(child);
    return result;
}

qsizetype keptChildCount(const TreeNode* node)
{
    qsizetype count = 0;
    for (const TreeNode* child : node->children())
        count += child->filterVisible();
    return count;
}

} // namespace FilterPass
