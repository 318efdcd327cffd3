#pragma once
// Memory for the few very large arrays of a sheet (its cells and its text):
// taken from the system in one piece and marked for huge pages, so that
// first touching a hundred megabytes costs a few hundred page faults rather
// than tens of thousands, each a trip through the kernel (dearer still on a
// virtual machine). Smaller arrays come from the ordinary heap.
#include <sys/mman.h>

#include <cstddef>
#include <new>

namespace sheet::detail {

template <class T>
struct BigAllocator {
    using value_type = T;
    static constexpr std::size_t kBig = std::size_t(4) << 20;

    BigAllocator() noexcept = default;
    template <class U>
    BigAllocator(const BigAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T)) throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kBig) return static_cast<T*>(::operator new(bytes));
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        ::madvise(p, bytes, MADV_HUGEPAGE);  // a hint: without huge pages it works the same, only slower
#endif
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kBig) ::operator delete(p);
        else ::munmap(p, bytes);
    }
    template <class U>
    bool operator==(const BigAllocator<U>&) const noexcept { return true; }
    template <class U>
    bool operator!=(const BigAllocator<U>&) const noexcept { return false; }
};

}  // namespace sheet::detail
