// tools/routersim/FtpService.h: the FTP servers of the devices with ftp=on, one pyftpdlib child process
// (ftp_device.py) each, listening on TCP port 21 of its device's address. Their output is read in the
// event loop and logged with the prefix "ftp: ".
#pragma once

#include "tools/routersim/Device.h"
#include "tools/routersim/EventLoop.h"
#include "tools/routersim/FtpSettings.h"

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace routersim {

class FtpService {
public:
    // password: of the user root; storeDir: the user's home, where the uploads go.
    FtpService(const std::vector<Device>& devices, const FtpSettings& settings, std::string password,
               std::string storeDir, EventLoop& loop);
    FtpService(const FtpService&) = delete;
    FtpService& operator=(const FtpService&) = delete;
    ~FtpService(); // ends every child: SIGTERM, SIGKILL after a bound; removes the built-in image's folder

    // Starts one child a device and waits up to readyBound for every child's ready line; from then on
    // their output is read in the loop. Returns the error text, empty on success.
    std::string start(std::chrono::milliseconds readyBound);

private:
    struct Child {
        std::string address;
        pid_t pid = -1;
        int fd = -1;         // the read end of its stdout and stderr
        std::string partial; // output after the last full line
        bool ready = false;
    };

    std::string spawn(const Device& device, const std::string& script, const std::string& image,
                      Child& child);
    // The file the children read the data image from: --data-image's, or the built-in image written to a
    // private folder. Returns the error text, empty on success.
    std::string imageFile(std::string& path);
    // Reads what there is and logs each full line; false at the end of the output.
    bool readLines(Child& child);
    void onReadable(Child& child);
    void stop(Child& child);

    std::vector<Device> m_devices; // those with ftp=on
    FtpSettings m_settings;
    std::string m_password;
    std::string m_storeDir;
    EventLoop& m_loop;
    std::vector<std::unique_ptr<Child>> m_children;
    std::string m_imageDir; // set: the private folder of the built-in data image, removed at the end
};

// The text a status of waitpid stands for, e.g. "status 1" or "signal SIGKILL".
std::string exitText(int status);

} // namespace routersim
