// The text of a browser's preferences file while it is edited: the file's content in a
// buffer of the file's size plus kEditRoom bytes. An edit that would grow the text beyond
// the buffer is cut at its end, as a fixed buffer would cut it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace korvanel {

inline constexpr std::size_t kEditRoom = 512;

class EditBuffer {
  public:
    // `file_size` is the size of the file the text was read from.
    EditBuffer(std::string text, std::size_t file_size)
        : text_(std::move(text)), limit_(file_size + kEditRoom - 1) {
        Cut();
    }

    const std::string& text() const { return text_; }
    std::size_t Find(std::string_view pattern, std::size_t from = 0) const {
        return text_.find(pattern, from);
    }
    void ReplaceRange(std::size_t begin, std::size_t end, std::string_view with) {
        text_.replace(begin, end - begin, with);
        Cut();
    }
    void Insert(std::size_t at, std::string_view with) { ReplaceRange(at, at, with); }

  private:
    void Cut() {
        if (text_.size() > limit_) text_.resize(limit_);
    }

    std::string text_;
    std::size_t limit_;
};

}  // namespace korvanel
