// tools/routersim/WebOptions.cpp: parses the web options into the settings every web device shares.
#include "tools/routersim/WebOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace routersim {

namespace {

constexpr std::string_view kValueOptions[] = {
    "--password",    "--user",      "--web-kind",           "--redirect",    "--verdict",
    "--close-early", "--keep-open", "--stall-upload-after", "--config-fault"};
constexpr std::string_view kFlags[] = {"--redirect-forever", "--login-404-once"};

template <typename Number>
bool parseNumber(std::string_view text, Number low, Number high, Number& number)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size() && number >= low &&
           number <= high;
}

std::string parseRequests(std::string_view option, std::string_view value, WebRequestSet& set)
{
    if (value == "login")
        set.add(WebRequest::Login);
    else if (value == "index")
        set.add(WebRequest::Index);
    else if (value == "upload")
        set.add(WebRequest::Upload);
    else
        return std::string(option) + " wants login, index or upload";
    return {};
}

std::string parseVerdict(std::string_view value, Verdict& verdict)
{
    verdict = {};
    if (value == "plain") {
        verdict.form = Verdict::Form::Plain;
    } else if (value == "long") {
        verdict.form = Verdict::Form::Long;
    } else if (value.starts_with("alert:")) {
        verdict.form = Verdict::Form::Alert;
        verdict.text = value.substr(6);
        if (verdict.text.find('"') != std::string::npos) return "--verdict alert:TEXT cannot hold a '\"'";
    } else if (value.starts_with("status:")) {
        verdict.form = Verdict::Form::Status;
        if (!parseNumber(value.substr(7), 100, 599, verdict.status))
            return "--verdict status:NNN wants a status from 100 to 599";
    } else if (value.size() == 4 &&
               std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        verdict.form = Verdict::Form::Tag;
        verdict.code = value;
    } else {
        return "--verdict " + std::string(value) + " is none of NNNN, plain, alert:TEXT, status:NNN, long";
    }
    return {};
}

} // namespace

bool isWebOption(std::string_view option)
{
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), option) != std::end(kValueOptions);
}

bool isWebFlag(std::string_view option)
{
    return std::find(std::begin(kFlags), std::end(kFlags), option) != std::end(kFlags);
}

std::string parseWebOption(std::string_view option, std::string_view value, WebSettings& web)
{
    if (option == "--password") {
        web.password = value;
    } else if (option == "--user") {
        web.user = value;
    } else if (option == "--web-kind") {
        if (value == "new")
            web.kind = WebKind::New;
        else if (value == "old")
            web.kind = WebKind::Old;
        else if (value == "basic")
            web.kind = WebKind::Basic;
        else
            return "--web-kind wants new, old or basic";
    } else if (option == "--redirect") {
        std::uint16_t port = 0;
        if (!parseNumber<std::uint16_t>(value, 1, 65535, port) || port == kWebPort)
            return "--redirect " + std::string(value) + " is not a port from 1 to 65535 other than 80";
        web.redirectPort = port;
    } else if (option == "--redirect-forever") {
        web.redirectForever = true;
    } else if (option == "--login-404-once") {
        web.login404Once = true;
    } else if (option == "--verdict") {
        return parseVerdict(value, web.verdict);
    } else if (option == "--close-early") {
        return parseRequests(option, value, web.closeEarly);
    } else if (option == "--keep-open") {
        return parseRequests(option, value, web.keepOpen);
    } else if (option == "--config-fault") {
        if (value == "400")
            web.configFault = ConfigFault::BadRequest;
        else if (value == "404")
            web.configFault = ConfigFault::NotFound;
        else if (value == "cut")
            web.configFault = ConfigFault::Cut;
        else if (value == "no-ok")
            web.configFault = ConfigFault::NotOk;
        else
            return "--config-fault wants 400, 404, cut or no-ok";
    } else if (option == "--stall-upload-after") {
        std::uint64_t bytes = 0;
        if (!parseNumber<std::uint64_t>(value, 0, UINT64_MAX, bytes))
            return "--stall-upload-after " + std::string(value) + " is not a number of bytes";
        web.stallUploadAfter = bytes;
    } else {
        return "unknown argument '" + std::string(option) + "'";
    }
    return {};
}

std::string checkWebSettings(const WebSettings& web)
{
    if ((web.closeEarly.bits & web.keepOpen.bits) != 0)
        return "--close-early and --keep-open are given for the same request";
    if (web.redirectForever) {
        const unsigned first = web.redirectPort.value_or(kDefaultRedirectPort);
        const unsigned last = first + kRedirectRing - 1;
        if (last > 65535 || (first <= kWebPort && kWebPort <= last))
            return "--redirect-forever wants its " + std::to_string(kRedirectRing) +
                   " ports from --redirect " + std::to_string(first) + " on to be ports other than 80";
    }
    return {};
}

} // namespace routersim
