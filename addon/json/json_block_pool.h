// An arena for the reference-count blocks of one parse's values.
#pragma once

#include <atomic>
#include <cstddef>

namespace json {

// Blocks are cut from chunks and never handed back one by one: the chunks are freed when the
// last block is released, so a tree's counts cost no malloc each.
// Lives by its own count, like a COM object: create() hands out the first reference.
// allocate() is for the parsing thread only; release() may come from any thread.
class block_pool {
public:
    static block_pool* create() { return new block_pool(); }
    void* allocate(std::size_t bytes, std::size_t alignment);
    void retain() { refs.fetch_add(1, std::memory_order_relaxed); }
    void release();

private:
    struct chunk;
    block_pool() = default;
    ~block_pool();
    std::atomic<long> refs{1};
    chunk* chunks = nullptr;        // newest first
    char* next = nullptr;
    char* limit = nullptr;
    // The first chunks stay below 1 KiB, the size from which glibc's malloc sorts its free
    // lists, so small texts never pay for that; later chunks double up to 64 KiB, so large
    // texts need few of them.
    std::size_t chunkBytes = 992;
    std::size_t chunkCount = 0;
};

// Each block allocated holds one reference to the pool, so the pool outlives every block.
template <class T>
struct pool_allocator {
    typedef T value_type;
    explicit pool_allocator(block_pool* p) : pool(p) {}
    template <class U>
    pool_allocator(const pool_allocator<U>& other) : pool(other.pool) {}
    T* allocate(std::size_t n) {
        void* block = pool->allocate(n * sizeof(T), alignof(T));
        pool->retain();
        return static_cast<T*>(block);
    }
    void deallocate(T*, std::size_t) { pool->release(); }
    template <class U>
    bool operator==(const pool_allocator<U>& other) const { return pool == other.pool; }
    template <class U>
    bool operator!=(const pool_allocator<U>& other) const { return pool != other.pool; }
    block_pool* pool;
};

}  // namespace json
