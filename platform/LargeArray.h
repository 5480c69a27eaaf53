#pragma once
// Memory for arrays the size of a large catalogue. The first touch of each 4 KiB page of fresh
// memory costs a page fault, and on a virtual machine each can cost tens of microseconds: the
// hundred thousand entries of a list would cost a start-up hundreds of them. Blocks of 2 MiB or
// more are therefore asked of the system in 2 MiB huge pages where it offers them (one fault
// each); smaller ones come from the heap as usual.
#include <cstddef>

void* AllocateLarge(std::size_t bytes);
void ReleaseLarge(void* block, std::size_t bytes) noexcept;

template <class T>
struct LargeArrayAllocator {
    using value_type = T;
    LargeArrayAllocator() = default;
    template <class U>
    LargeArrayAllocator(const LargeArrayAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
    void deallocate(T* block, std::size_t n) noexcept { ReleaseLarge(block, n * sizeof(T)); }
    friend bool operator==(const LargeArrayAllocator&, const LargeArrayAllocator&) { return true; }
};
