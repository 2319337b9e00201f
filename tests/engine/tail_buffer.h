// Test helper: a copy of some bytes in a heap block of exactly their size, so that the
// address sanitizer reports any read past the end of the input.
#pragma once

#include <cstring>
#include <memory>
#include <string_view>

namespace korvanel::test {

class TailBuffer {
  public:
    explicit TailBuffer(std::string_view bytes)
        : size_(bytes.size()), data_(new char[bytes.size() ? bytes.size() : 1]) {
        std::memcpy(data_.get(), bytes.data(), bytes.size());
    }
    std::string_view view() const { return {data_.get(), size_}; }
    char* data() { return data_.get(); }
    std::size_t size() const { return size_; }

  private:
    std::size_t size_;
    std::unique_ptr<char[]> data_;
};

}  // namespace korvanel::test
