#include "engine/error_page_send.h"

#include "engine/error_page.h"
#include "engine/socket_io.h"

namespace korvanel {

int SendErrorPage(Runtime& rt, Socket& client, const ErrorText& error, std::string_view head) {
    char page[kErrorPageCapacity];
    int length = head.empty() ? BuildErrorPage(page, sizeof page, error.view())
                              : BuildErrorPage(page, sizeof page, error.view(), head);
    if (length < 0) return -1;
    return SendAll(rt, client, page, length) == 1 ? 1 : -1;
}

}  // namespace korvanel
