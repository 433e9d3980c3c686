// The nesting limit of JSON texts, shared by the value-stack grammar and the tree builder.
#pragma once

namespace json {

// Objects and arrays nested deeper than this are not accepted: a hostile text can then
// exhaust neither the thread's stack while it is parsed nor while its tree is destroyed.
const int kMaxNestingDepth = 512;

// Counts the open objects and arrays for as long as one of them is being read.
class depth_guard {
public:
    explicit depth_guard(int& d) : depth(d) { ++depth; }
    ~depth_guard() { --depth; }
    depth_guard(const depth_guard&) = delete;
    void operator=(const depth_guard&) = delete;
private:
    int& depth;
};

}  // namespace json
