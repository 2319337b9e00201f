#include "engine/error_page_send.h"

#include "engine/error_page.h"
#include "engine/socket_io.h"

namespace korvanel {

bool SendErrorPage(Runtime& rt, Socket& client, const ErrorText& error, std::string_view head) {
    char page[kErrorPageCapacity];
    int length = head.empty() ? BuildErrorPage(page, sizeof page, error.view())
                              : BuildErrorPage(page, sizeof page, error.view(), head);
    if (length < 0) return false;
    return SendAll(rt, client, page, length) == IoEnd::kDone;
}

}  // namespace korvanel
