// Reads typed values from a fuzzer's bytes; past the end every read gives zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  uint32_t Word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return v;
  }

  // Copies the rest (at most capacity - 1 bytes) as a zero-terminated string.
  void String(char* out, size_t capacity) {
    size_t n = size_ - at_;
    if (n > capacity - 1) n = capacity - 1;
    if (n) std::memcpy(out, data_ + at_, n);
    out[n] = '\0';
    at_ += n;
  }

  size_t Remaining() const { return size_ - at_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};
