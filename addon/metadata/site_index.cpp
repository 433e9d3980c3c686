// Aho-Corasick automaton over the site patterns: a trie with fail links and output links.
#include "addon/metadata/site_index.h"

#include <algorithm>

namespace {

bool MatchesEverywhere(const std::string& pattern) {
    return pattern.empty() || pattern == ".*" || pattern == "all";
}

}  // namespace

SiteIndex::SiteIndex(const SiteMap& sites) {
    std::size_t bytes = 1;
    for (const SiteMap::value_type& site : sites)
        bytes += site.first.size();
    Trie trie;
    trie.firstChild.reserve(bytes);
    trie.nextSibling.reserve(bytes);
    trie.label.reserve(bytes);
    nodes.reserve(bytes);
    NewNode(trie, 0);  // the root
    for (const SiteMap::value_type& site : sites) {
        if (MatchesEverywhere(site.first)) {
            everywhere.push_back(&site.second);
            everywhereNonEmpty = everywhereNonEmpty || !site.first.empty();
            continue;
        }
        AddPattern(site.first, static_cast<std::int32_t>(patternIds.size()), trie);
        patternIds.push_back(&site.second);
    }
    Link(trie);
}

std::int32_t SiteIndex::NewNode(Trie& trie, unsigned char byte) {
    nodes.emplace_back();
    trie.firstChild.push_back(kNone);
    trie.nextSibling.push_back(kNone);
    trie.label.push_back(byte);
    return static_cast<std::int32_t>(nodes.size() - 1);
}

void SiteIndex::AddPattern(const std::string& pattern, std::int32_t id, Trie& trie) {
    std::int32_t node = 0;
    for (unsigned char byte : pattern) {
        std::int32_t next = trie.firstChild[node];
        while (next != kNone && trie.label[next] != byte)
            next = trie.nextSibling[next];
        if (next == kNone) {
            next = NewNode(trie, byte);
            trie.nextSibling[next] = trie.firstChild[node];
            trie.firstChild[node] = next;
        }
        node = next;
    }
    nodes[node].pattern = id;
}

// Lays each node's edges out together, sorted, then sets the fail and output links breadth
// first, so every node's fail target (which is shallower) is finished before the node itself.
void SiteIndex::Link(const Trie& trie) {
    edges.reserve(nodes.size());
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        nodes[n].firstEdge = static_cast<std::uint32_t>(edges.size());
        for (std::int32_t c = trie.firstChild[n]; c != kNone; c = trie.nextSibling[c])
            edges.push_back(Edge{trie.label[c], c});
        nodes[n].edgeCount = static_cast<std::uint32_t>(edges.size()) - nodes[n].firstEdge;
        std::sort(edges.begin() + nodes[n].firstEdge, edges.end(),
                  [](const Edge& a, const Edge& b) { return a.byte < b.byte; });
    }
    std::fill(std::begin(rootNext), std::end(rootNext), 0);
    for (std::uint32_t e = 0; e < nodes[0].edgeCount; ++e)
        rootNext[edges[e].byte] = edges[e].target;

    std::vector<std::int32_t> queue;
    queue.reserve(nodes.size());
    for (std::uint32_t e = 0; e < nodes[0].edgeCount; ++e)
        queue.push_back(edges[e].target);  // depth 1: fail to the root
    for (std::size_t q = 0; q < queue.size(); ++q) {
        const Node& parent = nodes[queue[q]];
        for (std::uint32_t e = parent.firstEdge; e < parent.firstEdge + parent.edgeCount; ++e) {
            Node& child = nodes[edges[e].target];
            child.fail = Step(parent.fail, edges[e].byte);
            const Node& fail = nodes[child.fail];
            child.nextOutput = fail.pattern != kNone ? child.fail : fail.nextOutput;
            queue.push_back(edges[e].target);
        }
    }
}

std::int32_t SiteIndex::Child(std::int32_t node, unsigned char byte) const {
    const Node& n = nodes[node];
    for (std::uint32_t e = n.firstEdge; e < n.firstEdge + n.edgeCount; ++e)
        if (edges[e].byte == byte) return edges[e].target;
    return kNone;
}

std::int32_t SiteIndex::Step(std::int32_t node, unsigned char byte) const {
    for (;;) {
        if (node == 0) return rootNext[byte];
        std::int32_t next = Child(node, byte);
        if (next != kNone) return next;
        node = nodes[node].fail;
    }
}

bool SiteIndex::Find(const std::string& host, std::vector<const RuleIdSet*>& hits) const {
    std::vector<std::int32_t> found;
    std::int32_t state = 0;
    for (unsigned char byte : host) {
        state = Step(state, byte);
        std::int32_t out = nodes[state].pattern != kNone ? state : nodes[state].nextOutput;
        for (; out != kNone; out = nodes[out].nextOutput)
            found.push_back(nodes[out].pattern);
    }
    std::sort(found.begin(), found.end());  // a pattern may occur more than once
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (std::int32_t id : found)
        hits.push_back(patternIds[id]);
    hits.insert(hits.end(), everywhere.begin(), everywhere.end());
    return everywhereNonEmpty || !found.empty();
}
