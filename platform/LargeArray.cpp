#include "platform/LargeArray.h"

#include <new>

#include <sys/mman.h>

namespace {

constexpr std::size_t HugePage = std::size_t{2} << 20;
// A huge page is cleared whole at its first touch: under one, the faults it saves cost less
// than clearing the rest of it (on a virtual machine a clear took 1.5 ms).
constexpr std::size_t LargeBlock = HugePage;

std::size_t HugePages(std::size_t bytes) {
    return (bytes + HugePage - 1) / HugePage * HugePage;
}

}  // namespace

void* AllocateLarge(std::size_t bytes) {
    if (bytes < LargeBlock) return ::operator new(bytes);
    const std::size_t whole = HugePages(bytes);
    void* block = ::operator new (whole, std::align_val_t{HugePage});
    madvise(block, whole, MADV_HUGEPAGE);  // only advice: ordinary pages serve as well
    return block;
}

void ReleaseLarge(void* block, std::size_t bytes) noexcept {
    if (bytes < LargeBlock)
        ::operator delete(block, bytes);
    else
        ::operator delete (block, HugePages(bytes), std::align_val_t{HugePage});
}
