#pragma once

#include <QByteArray>
#include <cstddef>
#include <memory>

namespace pintora {

// Fresh memory is slow to touch page by page; big buffers ask the kernel for huge pages.
void adviseHugePages(void* data, std::size_t size);

// An uninitialised byte array of `size` bytes, with huge pages advised when it is big.
QByteArray makeLargeByteArray(qsizetype size);

// A read-only file's bytes followed by `padding` zero bytes (parsers that read ahead need them).
class LargeBuffer {
public:
    LargeBuffer() = default;
    LargeBuffer(std::size_t size, std::size_t padding);

    char* data() { return data_.get(); }
    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool isNull() const { return !data_; }

private:
    struct Free {
        void operator()(char* p) const;
    };
    std::unique_ptr<char, Free> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace pintora
