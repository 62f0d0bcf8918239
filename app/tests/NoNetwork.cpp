// Every socket these tests make is refused unless a test plays its devices in memory: the logic
// tests never reach a network.
#include "platform/testing/FakeTcpNetwork.h"

namespace {
const bool kNetworkRefused = (fw::setTcpSocketMaker(fw::refusingTcpSocketMaker()), true);
} // namespace
