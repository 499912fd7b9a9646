#pragma once
// Memory for a large table's cells in one block. A block of megabytes is taken in whole huge
// pages where the system gives them on request (Linux's transparent huge pages): the cells of
// 100,000 rows then cost a dozen page faults instead of thousands when they are first written,
// which on a virtual machine was most of the time of opening such a table. Smaller blocks, and
// a system without huge pages, take ordinary memory.

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

namespace quilex {

template <typename T>
struct BlockAllocator {
    using value_type = T;

    static constexpr std::size_t HugePage = std::size_t{2} << 20;
    // Below this a block is not worth a page of its own.
    static constexpr std::size_t HugeFrom = std::size_t{4} << 20;

    BlockAllocator() = default;
    template <typename U>
    BlockAllocator(const BlockAllocator<U>&) noexcept
    {
    }

    T* allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < HugeFrom)
            return std::allocator<T>().allocate(n);
        const std::size_t whole = (bytes + HugePage - 1) / HugePage * HugePage;
        void* block = std::aligned_alloc(HugePage, whole);
        if (!block)
            throw std::bad_alloc();
        (void)madvise(block, whole, MADV_HUGEPAGE); // a hint: without it the block is as good
        return static_cast<T*>(block);
    }

    void deallocate(T* block, std::size_t n) noexcept
    {
        if (n * sizeof(T) < HugeFrom)
            std::allocator<T>().deallocate(block, n);
        else
            std::free(block);
    }

    friend bool operator==(const BlockAllocator&, const BlockAllocator&) { return true; }
};

} // namespace quilex
