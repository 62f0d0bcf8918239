// The "get" start's download run: over FTP, over HTTP after an FTP failure, the checks before the
// device is contacted, the refused long texts, and the exit status of each end.
#include "app/tests/DriverFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using fw::BoxButtons;
using fw::messageBoxOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string contentOf(const std::string& path)
{
    const auto bytes = fw::File::openRead(path).readAll();
    return bytes ? std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()) : "<none>";
}

class DeviceData : public Driver {
protected:
    std::string target = temp->prefix() + "out.bin";

    void get(const std::string& offset, const std::string& length, const std::string& file,
             const std::function<void()>& arrange = {})
    {
        start({"get", "192.168.0.1", "secret", "null", offset, length, file});
        addRows({{1, "192.168.0.1", "XY", "1.0"}});
        echo.answering.insert("192.168.0.1");
        window.setText(MainControl::IPComBox, "192.168.0.1");
        ftpServer.remoteFiles["256#16"] = "sixteen bytes..!";
        if (arrange) arrange();
        form->StopTimerTimer(); // the first tick runs the download
    }
};

TEST_F(DeviceData, FtpSavesTheStretchAndTheProgramEnds)
{
    get("0x100", "16", target);
    EXPECT_EQ(contentOf(target), "sixteen bytes..!");
    EXPECT_THAT(window.log, Contains("Try FTP Get Method first..."));
    EXPECT_THAT(window.log, Contains("Data=256#16"));
    EXPECT_THAT(window.log, Contains("Get ROM data success"));
    EXPECT_TRUE(window.closed());
    EXPECT_EQ(form->exitStatus(), 0);
}

TEST_F(DeviceData, AfterAnFtpFailureHttpDeliversTheData)
{
    web.device("192.168.0.1", 80, [](const std::string& request) -> fw::FakeTcpNetwork::Reply {
        if (request.starts_with("GET /config.bin?O=256&L=16 HTTP/1.1\r\n\r\n"))
            return {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nDATA"};
        if (request.starts_with("GET / ")) return {"HTTP/1.1 200 OK\r\n\r\n<!--CAS:8003-->"};
        return {"HTTP/1.1 200 OK\r\n\r\n"};
    });
    ftpServer.reachable = false;
    get("256", "16", target);
    EXPECT_THAT(window.log, Contains("Try to use HTTP Get method."));
    EXPECT_EQ(contentOf(target), "DATA");
    EXPECT_TRUE(window.closed());
    EXPECT_EQ(form->exitStatus(), 0);
}

TEST_F(DeviceData, AWrongFtpPasswordShowsTheTwoBoxesAndEnds)
{
    get("256", "16", target, [this] { ftpServer.acceptedPassword = "other"; });
    EXPECT_THAT(window.boxes,
                ElementsAre(messageBoxOf("Password error. Please check again.", "Failure", BoxButtons::Ok),
                            messageBoxOf("Pass: secret", "(FTP) pass Error", BoxButtons::OkCancel)));
    EXPECT_TRUE(window.closed());
    EXPECT_EQ(form->exitStatus(), 1);
}

TEST_F(DeviceData, ATargetThatCannotBeSavedFailsBeforeTheDeviceIsAsked)
{
    get("256", "16", temp->path());
    EXPECT_THAT(window.log.back(), ::testing::HasSubstr("Cannot save device data to " + temp->path()));
    EXPECT_THAT(window.boxes, IsEmpty());
    EXPECT_THAT(ftpServer.operations, IsEmpty());
    EXPECT_EQ(form->exitStatus(), 1);
}

TEST_F(DeviceData, TextsLongerThanTheirFieldsAreRefused)
{
    struct Row {
        std::string offset, length, file, what;
    };
    const Row rows[] = {
        {"256", "16", std::string(32, 'f'), "The local file name holds at most 31 characters"},
        {std::string(16, '1'), "16", "out.bin", "The offset holds at most 15 characters"},
        {"256", std::string(16, '2'), "out.bin", "The length holds at most 15 characters"},
    };
    for (const Row& row : rows) {
        form.reset();
        window.log.clear();
        start({"get", "192.168.0.1", "secret", "null", row.offset, row.length, row.file});
        EXPECT_THAT(window.log, Contains(::testing::StartsWith(row.what))) << row.what;
        EXPECT_THAT(window.log, Contains("Clear all setting by parameter input error.")) << row.what;
        EXPECT_EQ(form->settings.getPending, 0);
    }
}

} // namespace
