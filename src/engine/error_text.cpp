#include "engine/error_text.h"

#include <cstdarg>
#include <cstdio>

#include "runtime/runtime.h"

namespace korvanel {

void SetErrorText(Runtime& rt, ErrorText& out, const char* format, ...) {
    Hold hold(rt.locks.message);
    va_list args;
    va_start(args, format);
    std::vsnprintf(out.data(), ErrorText::kCapacity, format, args);
    va_end(args);
    out.sync_length();
}

}  // namespace korvanel
