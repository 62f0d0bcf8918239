#pragma once
// The check of the device's administrator password against its web interface: a login through the
// login program with the password in the query, a redirect to another port followed, one retry when
// the login program is missing, and the result tag of the index page; or, for devices that ask for
// it, one request with a Basic authorization header.
#include "platform/WindowOps.h"

#include <cstdint>
#include <string>
#include <string_view>

// Result codes beside a port (0 or more).
inline constexpr int kLoginRejected = -10, kLoginReceiveError = -11, kLoginSendError = -12;
inline constexpr int kLoginBadPort = -20, kLoginBadRequest = -21, kLoginNoCgi = -22, kLoginAsksAuth = -24;

// A device that keeps redirecting the login fails after this many redirects.
inline constexpr int kMaxRedirects = 8;

// What the check writes to: the log, the boxes of a bad request, and the window's upgrade method,
// which an older device moves to FTP (or back to HTTP after a failed FTP run).
struct LoginWindow {
    fw::Log& log;
    fw::Dialogs& dialogs;
    std::uint16_t& upgradeMethod;
    std::uint16_t webPort = 80; // where the login starts; tests use a port of their own
};

// The port on which the device accepted the password, or a result code.
int CheckPassword(const std::string& password, const std::string& address, LoginWindow& window);
// userText goes into the 20-byte userID field first; the user name sent is what the field holds.
int CheckBasicAuth(char (&userID)[20], std::string_view userText, const std::string& password,
                   const std::string& address, LoginWindow& window);

std::string EncodeBase64(std::string_view input);

// The requests, byte for byte.
std::string loginRequest(const std::string& password, std::string_view extraLine);
std::string indexRequest();
std::string basicAuthRequest(const std::string& address, const std::string& credentialsBase64);
