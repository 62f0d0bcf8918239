// Fuzz target: any bytes as a device's reply text, scanned for a redirect's port, the result tag and
// a script alert. Every result must be a piece of the reply of the shape its scan promises.
#include "web/ReplyScan.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view reply{reinterpret_cast<const char*>(data), size};

    if (const std::optional<std::string> port = redirectPortText(reply)) {
        check(!port->empty() && (*port)[0] >= '1' && (*port)[0] <= '9');
        check(port->find('\r') == std::string::npos);
        const std::size_t at = reply.find(":" + *port);
        check(at != std::string_view::npos);
        if (const std::optional<std::uint16_t> number = portNumber(*port))
            check(port->find_first_not_of("0123456789") == std::string::npos);
    }
    if (const std::optional<std::string> code = resultTagCode(reply)) {
        check(reply.find("--CAS") != std::string_view::npos);
        check(code->size() <= 4);
        check(reply.find(*code) != std::string_view::npos);
    } else {
        check(reply.find("--CAS") == std::string_view::npos);
    }
    const std::string alert = alertText(reply);
    check(alert.size() <= 23);
    check(alert.find('"') == std::string::npos);
    check(alert.empty() || reply.find(alert) != std::string_view::npos);
    return 0;
}
