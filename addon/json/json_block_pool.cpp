// An arena for the reference-count blocks of one parse's values.
#include "addon/json/json_block_pool.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace json {
namespace {

const std::size_t kSmallChunks = 16;
const std::size_t kLargestChunkBytes = 64 * 1024;

// alignment is a power of two
std::size_t RoundUp(std::size_t bytes, std::size_t alignment) {
    return (bytes + alignment - 1) & ~(alignment - 1);
}

}  // namespace

struct block_pool::chunk {
    chunk* older;
};

block_pool::~block_pool() {
    while (chunks) {
        chunk* older = chunks->older;
        ::operator delete(chunks);
        chunks = older;
    }
}

void* block_pool::allocate(std::size_t bytes, std::size_t alignment) {
    // Chunks start at malloc's alignment, at least the alignment of any block we are asked for;
    // blocks are packed at their own alignment within.
    const std::size_t skip = RoundUp(reinterpret_cast<std::uintptr_t>(next), alignment)
                           - reinterpret_cast<std::uintptr_t>(next);
    if (static_cast<std::size_t>(limit - next) < skip + bytes) {
        const std::size_t header = RoundUp(sizeof(chunk), alignof(std::max_align_t));
        const std::size_t size = header + std::max(bytes, chunkBytes - header);
        chunk* fresh = static_cast<chunk*>(::operator new(size));
        if (++chunkCount >= kSmallChunks) chunkBytes = std::min(chunkBytes * 2, kLargestChunkBytes);
        fresh->older = chunks;
        chunks = fresh;
        next = reinterpret_cast<char*>(fresh) + header;
        limit = reinterpret_cast<char*>(fresh) + size;
    } else {
        next += skip;
    }
    void* block = next;
    next += bytes;
    return block;
}

void block_pool::release() {
    if (refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

}  // namespace json
