#include "model/LargeBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#ifdef __linux__
#include <sys/mman.h>
#endif

namespace pintora {

namespace {
constexpr std::size_t hugePage = std::size_t(2) << 20;
}

void adviseHugePages(void* data, std::size_t size) {
#ifdef __linux__
    if (size < 2 * hugePage) return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + hugePage - 1) & ~(hugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(hugePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

QByteArray makeLargeByteArray(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    adviseHugePages(bytes.data(), std::size_t(size));
    return bytes;
}

LargeBuffer::LargeBuffer(std::size_t size, std::size_t padding)
    : size_(size), capacity_(size + padding) {
    // Aligned to a huge page so that the advice covers the whole buffer.
    const std::size_t rounded = (capacity_ + hugePage - 1) & ~(hugePage - 1);
    void* p = capacity_ >= 2 * hugePage ? std::aligned_alloc(hugePage, rounded)
                                        : std::malloc(capacity_ ? capacity_ : 1);
    if (!p) {
        size_ = capacity_ = 0;
        return;
    }
    data_.reset(static_cast<char*>(p));
    adviseHugePages(p, rounded);
    std::memset(data_.get() + size_, 0, padding);
}

void LargeBuffer::Free::operator()(char* p) const {
    std::free(p);
}

} // namespace pintora
