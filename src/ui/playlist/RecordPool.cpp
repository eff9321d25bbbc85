#include "RecordPool.h"

#include "MusicFile.h"

#include <cstdlib>
#include <mutex>
#include <new>

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define SORVEL_RECORD_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SORVEL_RECORD_POOL 0
#endif
#endif
#ifndef SORVEL_RECORD_POOL
#define SORVEL_RECORD_POOL 1
#endif

namespace record_pool {
namespace {

constexpr std::size_t kSlot = sizeof(TMusicFile);
constexpr std::size_t kBlock = std::size_t{2} << 20;  // one huge page on x86-64
constexpr std::size_t kSlotsPerBlock = kBlock / kSlot;

struct FreeSlot {
    FreeSlot* next;
};

struct Pool {
    std::mutex lock;          // guards everything below
    FreeSlot* freeSlots = nullptr;
    char* block = nullptr;    // the block slots are cut from
    std::size_t used = 0;     // slots cut from `block`
    std::size_t blocks = 0;
};

Pool& pool()
{
    // Never destroyed: records may be freed by destructors that run at exit.
    static Pool* p = new Pool;
    return *p;
}

char* newBlock()
{
    void* memory = std::aligned_alloc(kBlock, kBlock);
    if (!memory)
        return nullptr;
    // A hint only: where huge pages are off, the block is ordinary memory.
    madvise(memory, kBlock, MADV_HUGEPAGE);
    return static_cast<char*>(memory);
}

} // namespace

void* Allocate(std::size_t size)
{
    if (!SORVEL_RECORD_POOL || size != kSlot)
        return ::operator new(size);
    Pool& p = pool();
    std::lock_guard<std::mutex> hold(p.lock);
    if (p.freeSlots) {
        FreeSlot* slot = p.freeSlots;
        p.freeSlots = slot->next;
        return slot;
    }
    if (!p.block || p.used == kSlotsPerBlock) {
        p.block = newBlock();
        if (!p.block)
            throw std::bad_alloc();
        p.used = 0;
        ++p.blocks;
    }
    return p.block + kSlot * p.used++;
}

void Free(void* slot, std::size_t size) noexcept
{
    if (!slot)
        return;
    if (!SORVEL_RECORD_POOL || size != kSlot) {
        ::operator delete(slot);
        return;
    }
    Pool& p = pool();
    std::lock_guard<std::mutex> hold(p.lock);
    auto* freed = static_cast<FreeSlot*>(slot);
    freed->next = p.freeSlots;
    p.freeSlots = freed;
}

std::size_t BlockCount()
{
    Pool& p = pool();
    std::lock_guard<std::mutex> hold(p.lock);
    return p.blocks;
}

} // namespace record_pool
