// Finds every site pattern that occurs in a host in one pass (Aho-Corasick automaton).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "addon/metadata/metadata_model.h"

// Built from the patterns of one model; holds pointers to their rule-id sets, so it lives no
// longer than those entries (MetadataModel drops it whenever a pattern is added or removed).
class SiteIndex {
public:
    explicit SiteIndex(const SiteMap& sites);

    // Appends the rule-id sets of the patterns that match the host, each pattern once, in no
    // particular order. ".*", "all" and the empty pattern match every host. Returns whether a
    // non-empty pattern was among them.
    bool Find(const std::string& host, std::vector<const RuleIdSet*>& hits) const;

private:
    static constexpr std::int32_t kNone = -1;
    struct Edge {
        unsigned char byte;
        std::int32_t target;
    };
    struct Node {
        std::int32_t fail = 0;        // longest proper suffix that is also a trie node
        std::int32_t pattern = kNone; // pattern ending exactly here
        std::int32_t nextOutput = kNone;  // nearest node on the fail chain that ends a pattern
        std::uint32_t firstEdge = 0;
        std::uint32_t edgeCount = 0;
    };

    // The trie while it is built: children as linked lists.
    struct Trie {
        std::vector<std::int32_t> firstChild;
        std::vector<std::int32_t> nextSibling;
        std::vector<unsigned char> label;
    };

    std::int32_t Child(std::int32_t node, unsigned char byte) const;
    std::int32_t Step(std::int32_t node, unsigned char byte) const;  // goto with fail links
    std::int32_t NewNode(Trie& trie, unsigned char byte);
    void AddPattern(const std::string& pattern, std::int32_t id, Trie& trie);
    void Link(const Trie& trie);

    std::vector<Node> nodes;             // node 0 is the root
    std::vector<Edge> edges;             // each node's edges together, sorted by byte
    std::int32_t rootNext[256];          // the root's edges as a table: most steps land there
    std::vector<const RuleIdSet*> patternIds;  // rule ids of each automaton pattern
    std::vector<const RuleIdSet*> everywhere;  // patterns that match every host
    bool everywhereNonEmpty = false;           // ".*" or "all" among them
};
