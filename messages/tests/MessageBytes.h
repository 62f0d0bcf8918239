#pragma once
// Message files as the bundle carries them, for the tests.
#include "messages/MessageRecord.h"

#include <cstring>
#include <vector>

namespace messages::testing {

struct MessageSpec {
    std::string name = "note";
    std::string caption = "Note";
    std::uint16_t liveTime = 5;
    std::uint8_t ftp = 1, tftp = 1;
    std::uint32_t background = 0x00FFFFFF;
    std::uint8_t steady = 0;
    std::string text = "Hello";
};

inline std::vector<std::byte> messageBytes(const MessageSpec& m)
{
    std::vector<std::uint8_t> b(MessageRecord::kHeaderSize);
    std::memcpy(b.data(), m.name.data(), std::min<std::size_t>(m.name.size(), 15));
    std::memcpy(b.data() + 16, m.caption.data(), std::min<std::size_t>(m.caption.size(), 63));
    b[80] = static_cast<std::uint8_t>(m.liveTime);
    b[81] = static_cast<std::uint8_t>(m.liveTime >> 8);
    b[82] = m.ftp;
    b[83] = m.tftp;
    b[118] = static_cast<std::uint8_t>(m.text.size());
    b[119] = static_cast<std::uint8_t>(m.text.size() >> 8);
    for (int i = 0; i < 4; ++i) b[120 + i] = static_cast<std::uint8_t>(m.background >> (8 * i));
    b[124] = m.steady;
    b.insert(b.end(), m.text.begin(), m.text.end());
    std::vector<std::byte> out(b.size());
    std::memcpy(out.data(), b.data(), b.size());
    return out;
}

} // namespace messages::testing
