// tools/routersim/WebSettings.h: how the web interfaces of the devices behave, from the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace routersim {

constexpr std::uint16_t kWebPort = 80;
constexpr std::uint16_t kDefaultRedirectPort = 8081;
// --redirect-forever sends each login on to the next port of a ring this long, so the client meets a
// listening port however many redirects it follows.
constexpr std::uint16_t kRedirectRing = 10;

// How a device's firmware tells the client whether its password was right.
enum class WebKind {
    New,   // the index page carries the result tag of the last login
    Old,   // no tag anywhere; the login reply of a wrong password carries a script alert
    Basic, // the index page asks for Basic authorization
};

// The requests a fault of --close-early and --keep-open applies to.
enum class WebRequest : unsigned { Login = 1, Index = 2, Upload = 4 };

struct WebRequestSet {
    unsigned bits = 0;
    bool has(WebRequest request) const { return (bits & static_cast<unsigned>(request)) != 0; }
    void add(WebRequest request) { bits |= static_cast<unsigned>(request); }
};

// What an upload is answered.
struct Verdict {
    enum class Form {
        Tag,    // 200 OK with the result tag of code
        Plain,  // 200 OK, no tag, no alert
        Alert,  // 200 OK with a script alert of text
        Status, // the status, no tag
        Long,   // 200 OK longer than the client reads, the tag 8000 in its last bytes
    };
    Form form = Form::Tag;
    std::string code = "8000"; // Tag: four digits
    std::string text;          // Alert
    int status = 0;            // Status
};

// How the download of the data image (GET /config.bin) fails, if it does.
enum class ConfigFault {
    None,
    BadRequest, // "HTTP/1.1 400 Bad Request" and nothing more
    NotFound,   // the 404 page
    Cut,        // the full Content-Length, half the body, then the close
    NotOk,      // a 500 page
};

struct WebSettings {
    std::string password = "admin";
    std::string user = "admin"; // of Basic authorization
    WebKind kind = WebKind::New;
    std::optional<std::uint16_t> redirectPort; // set: the login on port 80 answers a redirect here
    bool redirectForever = false;
    bool login404Once = false;
    Verdict verdict;
    WebRequestSet closeEarly;
    WebRequestSet keepOpen;
    std::optional<std::uint64_t> stallUploadAfter; // body bytes read before the device stops reading
    ConfigFault configFault = ConfigFault::None;
    std::string dataImage; // the device's stored data, which GET /config.bin reads

    // The ports a web device listens on: 80 first, then the redirect targets.
    std::vector<std::uint16_t> ports() const
    {
        std::vector<std::uint16_t> all{kWebPort};
        const std::uint16_t first = redirectPort.value_or(kDefaultRedirectPort);
        if (redirectForever) {
            for (std::uint16_t i = 0; i < kRedirectRing; ++i)
                all.push_back(static_cast<std::uint16_t>(first + i));
        } else if (redirectPort) {
            all.push_back(*redirectPort);
        }
        return all;
    }
};

} // namespace routersim
