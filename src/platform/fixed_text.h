// Fixed-capacity, NUL-terminated text: the storage of every setting and buffer whose
// capacity is part of the program's behaviour. Every copy truncates silently to the
// capacity less one byte, and nothing here ever allocates.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace korvanel {

template <std::size_t Capacity>
class FixedText {
    static_assert(Capacity >= 1);

  public:
    static constexpr std::size_t kCapacity = Capacity;
    static constexpr std::size_t kMaxLength = Capacity - 1;

    FixedText() { data_[0] = '\0'; }
    FixedText(std::string_view text) { assign(text); }  // NOLINT: implicit on purpose
    FixedText(const char* text) { assign(text); }       // NOLINT: implicit on purpose

    FixedText& operator=(std::string_view text) { return assign(text); }
    FixedText& operator=(const char* text) { return assign(text); }

    // Copies at most kMaxLength bytes of `text`.
    FixedText& assign(std::string_view text) {
        length_ = text.size() < kMaxLength ? text.size() : kMaxLength;
        std::memmove(data_, text.data(), length_);
        data_[length_] = '\0';
        return *this;
    }

    // Appends what fits; returns false when something was cut.
    bool append(std::string_view text) {
        std::size_t room = kMaxLength - length_;
        std::size_t take = text.size() < room ? text.size() : room;
        std::memmove(data_ + length_, text.data(), take);
        length_ += take;
        data_[length_] = '\0';
        return take == text.size();
    }

    void clear() {
        length_ = 0;
        data_[0] = '\0';
    }

    // For code that wrote into data() directly (snprintf, recv): re-reads the length.
    void sync_length() {
        length_ = strnlen(data_, kMaxLength);
        data_[length_] = '\0';
    }
    void set_length(std::size_t length) {
        length_ = length < kMaxLength ? length : kMaxLength;
        data_[length_] = '\0';
    }

    const char* c_str() const { return data_; }
    char* data() { return data_; }
    const char* data() const { return data_; }
    std::size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }
    std::string_view view() const { return {data_, length_}; }
    operator std::string_view() const { return view(); }  // NOLINT: implicit on purpose
    std::string str() const { return std::string(view()); }

    bool starts_with(std::string_view prefix) const { return view().starts_with(prefix); }

    friend bool operator==(const FixedText& a, const FixedText& b) { return a.view() == b.view(); }
    friend bool operator==(const FixedText& a, std::string_view b) { return a.view() == b; }

  private:
    std::size_t length_ = 0;
    char data_[Capacity];
};

// strncmp-style comparison of the first `count` characters: true when `text` begins with
// the first `count` characters of `prefix` (a shorter text never matches).
inline bool StartsWithN(std::string_view text, std::string_view prefix, std::size_t count) {
    if (count > prefix.size()) count = prefix.size();
    return text.size() >= count && text.substr(0, count) == prefix.substr(0, count);
}

}  // namespace korvanel
