// An arena for the reference-count blocks of one parse's values.
#include "addon/json/json_block_pool.h"

#include <new>

namespace json {
namespace {

const std::size_t kAlignment = alignof(std::max_align_t);
const std::size_t kChunkBytes = 1008;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kAlignment - 1) & ~(kAlignment - 1); }

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

void* block_pool::allocate(std::size_t bytes) {
    bytes = RoundUp(bytes);
    if (static_cast<std::size_t>(limit - next) < bytes) {
        const std::size_t header = RoundUp(sizeof(chunk));
        const std::size_t size = header + (bytes > kChunkBytes - header ? bytes : kChunkBytes - header);
        chunk* fresh = static_cast<chunk*>(::operator new(size));
        fresh->older = chunks;
        chunks = fresh;
        next = reinterpret_cast<char*>(fresh) + header;
        limit = reinterpret_cast<char*>(fresh) + size;
    }
    void* block = next;
    next += bytes;
    return block;
}

void block_pool::release() {
    if (refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

}  // namespace json
