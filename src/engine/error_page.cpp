#include "engine/error_page.h"

#include <cstring>

#include "texts.h"

namespace korvanel {
namespace {

// Appends to a caller buffer while there is room; remembers when something did not fit.
class PageWriter {
  public:
    PageWriter(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void Add(std::string_view text) {
        if (!fits_ || text.size() >= capacity_ - length_) {
            fits_ = false;
            return;
        }
        std::memcpy(buffer_ + length_, text.data(), text.size());
        length_ += text.size();
    }

    void AddEscaped(std::string_view text) {
        for (char c : text) {
            switch (c) {
                case '<':
                    Add("&lt;");
                    break;
                case '>':
                    Add("&gt;");
                    break;
                case '&':
                    Add("&amp;");
                    break;
                default:
                    Add(std::string_view(&c, 1));
                    break;
            }
        }
    }

    int Finish() {
        if (capacity_ == 0) return -1;
        if (!fits_) {
            buffer_[0] = '\0';
            return -1;
        }
        buffer_[length_] = '\0';
        return static_cast<int>(length_);
    }

  private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
    bool fits_ = true;
};

}  // namespace

int BuildErrorPage(char* buffer, std::size_t capacity, std::string_view error_text) {
    return BuildErrorPage(buffer, capacity, error_text, text::kErrorPageHead);
}

int BuildErrorPage(char* buffer, std::size_t capacity, std::string_view error_text,
                   std::string_view head) {
    PageWriter page(buffer, capacity);
    page.Add(head);
    page.Add(text::kErrorPageOpen);
    page.AddEscaped(error_text);
    page.Add(text::kErrorPageClose);
    return page.Finish();
}

}  // namespace korvanel
