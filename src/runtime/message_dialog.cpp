#include "runtime/message_dialog.h"

#include "runtime/runtime.h"

namespace korvanel {

std::string_view CutToCharacters(std::string_view text, std::size_t characters) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A character starts at every byte that is not a UTF-8 continuation byte.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (seen == characters) return text.substr(0, i);
            ++seen;
        }
    }
    return text;
}

int ShowMessageDialog(Runtime& rt, std::string_view title, std::string_view text) {
    rt.front.ShowMessage(CutToCharacters(title, kMessageTitleMaxCharacters),
                         CutToCharacters(text, kMessageTextMaxCharacters));
    return 0;
}

}  // namespace korvanel
