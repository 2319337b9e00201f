// A request line read inside an inspected connection on its way through the road: turned into
// the absolute form for the connection's own host and port, then named for the access log by
// its https:// URL. Byte 0 picks the terminator, byte 1 the host's length, byte 2 the port's;
// host, port and the request line follow.
//
// A line taken is "METHOD http://host:port/..." with the connection's host and port whatever
// the line named, and the logged form keeps the method and names the https:// site.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/inspected_origin.h"
#include "engine/inspected_site.h"
#include "engine/message_buffers.h"
#include "engine/request_line.h"
#include "engine/text_fields.h"
#include "fuzz_support.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    std::string_view terminator = fuzz::TerminatorFor(data[0]);
    std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    std::string_view host = rest.substr(0, data[1] % 64);
    rest.remove_prefix(host.size());
    std::string_view port = rest.substr(0, data[2] % 8);
    rest.remove_prefix(port.size());

    StartLine line;
    line.assign(rest);
    std::size_t at = 0;
    const std::string method(NextField(line.view(), at));
    const bool taken = FromInspectedForm(host, port, terminator, line);
    if (taken) {
        std::string_view text = line.view();
        std::size_t url = text.find(' ') + 1;
        fuzz::Require(text.substr(0, url - 1) == method, "the method is kept");
        const std::string_view prefix = text.substr(url);
        fuzz::Require(prefix.starts_with("http://") && prefix.substr(7).starts_with(host) &&
                          prefix.substr(7 + host.size()).starts_with(":") &&
                          prefix.substr(8 + host.size()).starts_with(port),
                      "the URL names the connection's own host and port");
        fuzz::Require(text.ends_with(LineEndOf(terminator)), "the line keeps its line end");
    }

    InspectedSite site;
    site.host = host;
    site.port = port;
    site.name = rest.substr(0, data[1] % 3 == 0 ? rest.size() : 0);
    const std::string before(line.view());
    ToLoggedForm(site, terminator, line);
    if (line.view() != before) {
        fuzz::Require(line.view().starts_with(before.substr(0, before.find(' ')) + " https://"),
                      "the logged form keeps the method and names the https:// site");
    }
    fuzz::Use(line.view());
    return 0;
}
