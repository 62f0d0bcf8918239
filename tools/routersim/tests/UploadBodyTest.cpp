// tools/routersim/tests/UploadBodyTest.cpp: the upload's body taken in pieces of any size: the file content
// byte for byte, and each breach of the part header, the end marker and the Content-Length.
#include "tools/routersim/UploadBody.h"
#include "tools/routersim/RequestShapes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace routersim {
namespace {

const std::string kPartHeader = std::string("-----------------123456789\r\n") +
                                "Content-Disposition: from-data; name=\"FN\"; filename=\"upgrade.bin\" \r\n" +
                                "Content-Type: application/octet-stream \r\n\r\n";
const std::string kEnd = "\r\n----\r\n";

std::string images()
{
    std::string bytes;
    for (int i = 0; i < 3000; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes + "\r\n----"; // an image may hold the start of the end marker
}

struct Fed {
    std::string content;
    std::vector<std::string> errors;
    bool completeBeforeFinish = false;
};

Fed feed(UploadBody body, const std::string& bytes, std::size_t piece)
{
    Fed fed;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        body.take(std::string_view(bytes).substr(at, piece), fed.content);
        for (std::string& e : body.takeErrors()) fed.errors.push_back(std::move(e));
    }
    fed.completeBeforeFinish = body.complete();
    for (std::string& e : body.finish(fed.content)) fed.errors.push_back(std::move(e));
    return fed;
}

TEST(UploadPartHeader, Is139Bytes)
{
    EXPECT_EQ(uploadPartHeader(), kPartHeader);
    EXPECT_EQ(kPartHeader.size(), 139u);
}

class UploadPieces : public testing::TestWithParam<std::size_t> {};

TEST_P(UploadPieces, GiveTheImagesByteForByteWithoutTheEndMarker)
{
    const std::string body = kPartHeader + images() + kEnd;
    const Fed fed = feed(UploadBody{UploadBody::Form::Device, "-----------------123456789", body.size()},
                         body, GetParam());
    EXPECT_TRUE(fed.content == images()) << fed.content.size() << " bytes of content";
    EXPECT_TRUE(fed.errors.empty()) << fed.errors.front();
    EXPECT_TRUE(fed.completeBeforeFinish);
}

// One byte at a time splits the part header and the end marker everywhere; 3 and 8 split them unevenly.
INSTANTIATE_TEST_SUITE_P(Sizes, UploadPieces, testing::Values(1, 3, 8, 139, 140, 4096, 1u << 20));

struct BreachCase {
    const char* label;
    UploadBody::Form form;
    std::string boundary;
    std::string body;
    long lengthOffset; // Content-Length minus the body's size
    std::vector<std::string> wantErrors;
    std::string wantContent;
    bool wantComplete = false; // Content-Length and end marker right: the reply need not wait for quiet
};
void PrintTo(const BreachCase& c, std::ostream* os)
{
    *os << c.label;
}

class UploadBreach : public testing::TestWithParam<BreachCase> {};

TEST_P(UploadBreach, IsToldAndTheContentKept)
{
    const BreachCase& c = GetParam();
    const Fed fed =
        feed(UploadBody{c.form, c.boundary,
                        static_cast<std::uint64_t>(static_cast<long>(c.body.size()) + c.lengthOffset)},
             c.body, 100);
    ASSERT_EQ(fed.errors.size(), c.wantErrors.size()) << (fed.errors.empty() ? "" : fed.errors.front());
    for (std::size_t i = 0; i < c.wantErrors.size(); ++i)
        EXPECT_NE(fed.errors[i].find(c.wantErrors[i]), std::string::npos) << fed.errors[i];
    EXPECT_EQ(fed.content, c.wantContent);
    EXPECT_EQ(fed.completeBeforeFinish, c.wantComplete);
}

const std::string kDevice = "-----------------123456789";
const std::string kCurlBoundary = "------------------------d74496d66958873e";
const std::string kCurlHeader = "--" + kCurlBoundary +
                                "\r\nContent-Disposition: form-data; name=\"FN\"; filename=\"a.bin\"\r\n"
                                "Content-Type: application/octet-stream\r\n\r\n";
const std::string kCurlEnd = "\r\n--" + kCurlBoundary + "--\r\n";

INSTANTIATE_TEST_SUITE_P(
    Bodies, UploadBreach,
    testing::Values(
        BreachCase{"ContentLengthTooLarge",
                   UploadBody::Form::Device,
                   kDevice,
                   kPartHeader + "abc" + kEnd,
                   5,
                   {"Content-Length is 155, but 150 body bytes came"},
                   "abc"},
        BreachCase{"ContentLengthTooSmall",
                   UploadBody::Form::Device,
                   kDevice,
                   kPartHeader + "abc" + kEnd,
                   -1,
                   {"Content-Length is 149, but 150 body bytes came"},
                   "abc"},
        BreachCase{"FormDataSpelledTheStandardWay",
                   UploadBody::Form::Device,
                   kDevice,
                   "-----------------123456789\r\nContent-Disposition: form-data; name=\"FN\"; "
                   "filename=\"upgrade.bin\" \r\nContent-Type: application/octet-stream \r\n\r\nabc" +
                       kEnd,
                   0,
                   {"part header line 2 is \"Content-Disposition: form-data;"},
                   "abc",
                   true},
        BreachCase{"BoundaryLineWithTheStandardDashes",
                   UploadBody::Form::Device,
                   kDevice,
                   "--" + kPartHeader + "abc" + kEnd,
                   0,
                   {"part header line 1 is \"-------------------123456789\\r\\n\", want "
                    "\"-----------------123456789\\r\\n\""},
                   "abc",
                   true},
        BreachCase{"TrailingBlanksLeftOut",
                   UploadBody::Form::Device,
                   kDevice,
                   "-----------------123456789\r\nContent-Disposition: from-data; name=\"FN\"; "
                   "filename=\"upgrade.bin\"\r\nContent-Type: application/octet-stream \r\n\r\nabc" +
                       kEnd,
                   0,
                   {"part header line 2 is"},
                   "abc",
                   true},
        BreachCase{"EndMarkerMissing",
                   UploadBody::Form::Device,
                   kDevice,
                   kPartHeader + "abcdefghijk",
                   0,
                   {"does not end with the end marker \"\\r\\n----\\r\\n\""},
                   "abcdefghijk"},
        BreachCase{"StandardClosingBoundaryInsteadOfTheMarker",
                   UploadBody::Form::Device,
                   kDevice,
                   kPartHeader + "abc\r\n-----------------123456789--\r\n",
                   0,
                   {"does not end with the end marker"},
                   "abc\r\n-----------------123456789--\r\n"},
        BreachCase{"BodyEndsInsideThePartHeader",
                   UploadBody::Form::Device,
                   kDevice,
                   kPartHeader.substr(0, 60),
                   0,
                   {"ended inside its part header, after 60 bytes"},
                   ""},
        BreachCase{"NoPartHeaderEndInItsFirst4096Bytes",
                   UploadBody::Form::Device,
                   kDevice,
                   std::string(5000, 'x') + kEnd,
                   0,
                   {"no end of the part header"},
                   std::string(5000, 'x'),
                   true},
        BreachCase{"StandardBodyOfAnotherBoundary",
                   UploadBody::Form::Standard,
                   "other",
                   kCurlHeader + "abc\r\n--other--\r\n",
                   0,
                   {"not the boundary line \"--other\\r\\n\""},
                   "abc",
                   true},
        BreachCase{"StandardPartThatIsNoFile",
                   UploadBody::Form::Standard,
                   kCurlBoundary,
                   "--" + kCurlBoundary + "\r\nContent-Disposition: form-data; name=\"FN\"\r\n\r\nabc" +
                       kCurlEnd,
                   0,
                   {"the first part is no file"},
                   "abc",
                   true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(StandardUpload, GivesTheFileOfACurlBody)
{
    const std::string body = kCurlHeader + images() + kCurlEnd;
    const Fed fed = feed(UploadBody{UploadBody::Form::Standard, kCurlBoundary, body.size()}, body, 7);
    EXPECT_TRUE(fed.content == images());
    EXPECT_TRUE(fed.errors.empty()) << fed.errors.front();
    EXPECT_TRUE(fed.completeBeforeFinish);
}

} // namespace
} // namespace routersim
