#include "net/NMHTTP.h"

#include <QScopedValueRollback>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "net/Encoders.h"

namespace {

constexpr std::size_t kMaxPath = TNMHTTP::kMaxRequestPath;
constexpr std::size_t kMaxValue = 256;
constexpr std::string_view kLineBreakOrNul("\r\n\0", 3);
constexpr const char* kHeaderCut = "Connection closed before the end of the reply header";

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The value of a header line from a fixed position up to its terminator.
std::string ValueFrom(const std::string& line, std::size_t from)
{
    std::string_view value(line);
    if (value.size() >= 2 && value.substr(value.size() - 2) == "\r\n")
        value.remove_suffix(2);
    else if (!value.empty() && value.back() == '\n')
        value.remove_suffix(1);
    value = from < value.size() ? value.substr(from) : std::string_view();
    return std::string(value.substr(0, kMaxValue));
}

const char* MethodText(CmdType cmd)
{
    static const char* const texts[] = {"GET ",   "OPTIONS ", "HEAD ", "POST ", "PUT ",   "PATCH ", "COPY ",
                                        "MOVE ",  "DELETE ",  "LINK ", "UNLINK ", "TRACE ", ""};
    return texts[static_cast<int>(cmd)];
}

bool IsRedirect(int number)
{
    return number >= 300 && number <= 302;
}

// A blank would end the target early on the request line (a strict server
// answers 400); it is sent as browsers send it.
std::string EscapeBlanks(std::string_view target)
{
    std::string out;
    out.reserve(target.size());
    for (char c : target) {
        if (c == ' ')
            out += "%20";
        else
            out += c;
    }
    return out;
}

} // namespace

int TExStringList::IndexOfHeader(std::string_view name) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::size_t colon = lines_[i].find(':');
        if (colon != std::string::npos && SameText(std::string_view(lines_[i]).substr(0, colon), name))
            return static_cast<int>(i);
    }
    return -1;
}

void TExStringList::SetHeader(std::string_view name, std::string_view value)
{
    const int index = IndexOfHeader(name);
    if (value.empty()) {
        if (index >= 0)
            lines_.erase(lines_.begin() + index);
        return;
    }
    std::string line = std::string(name) + ": " + std::string(value);
    if (index >= 0)
        lines_[static_cast<std::size_t>(index)] = std::move(line);
    else
        lines_.push_back(std::move(line));
}

std::string FieldOf(std::string_view text, char separator, int n)
{
    for (int piece = 1;; ++piece) {
        const std::size_t end = text.find(separator);
        if (piece == n)
            return std::string(text.substr(0, end));
        if (end == std::string_view::npos)
            return {};
        text.remove_prefix(end + 1);
    }
}

std::size_t NthPosition(std::string_view text, char c, int n)
{
    int seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == c && ++seen == n)
            return i + 1;
    }
    return text.size() + 1;
}

// ---------------------------------------------------------------------------

TNMHTTP::TNMHTTP(QObject* parent) : TPowersock(parent)
{
}

void TNMHTTP::Abort()
{
    WaitDone = true;
    Cancel();
}

void TNMHTTP::ParseURL()
{
    if (URL.empty())
        throw Exception("Empty URL");
    if (Port == 0)
        Port = 80;

    if (URL.find("//") != std::string::npos)
        wholePath_ = URL.substr(std::min(NthPosition(URL, '/', 3) - 1, URL.size()));
    else if (const std::size_t slash = URL.find('/'); slash != std::string::npos)
        wholePath_ = URL.substr(slash);
    else
        wholePath_.clear();
    RequestPath = wholePath_.substr(0, kMaxPath);

    // The request is HTTP whatever the scheme; the scheme only picks the port.
    if (URL.find(':') != std::string::npos) {
        const std::string scheme = Lower(FieldOf(URL, ':', 1));
        if (scheme == "https")
            throw Exception("HTTP Secure Socket is not supported");
        Port = scheme == "gopher" ? 70 : scheme == "ftp" ? 21 : 80;
    }

    std::string host;
    if (URL.find("//") != std::string::npos)
        host = FieldOf(URL, '/', 3);
    else if (URL.front() != '/')
        host = FieldOf(URL, '/', 1);
    if (const std::size_t colon = host.find(':'); colon != std::string::npos) {
        Port = StrToInt(FieldOf(host, ':', 2));
        host.resize(colon);
    }
    if (!host.empty())
        Host = host;

    if (RequestPath.empty()) {
        // assign(1, '/') rather than = "/": g++ 12 warns falsely (-Wrestrict) on the latter.
        RequestPath.assign(1, '/');
        wholePath_.assign(1, '/');
        URL.push_back('/');
    }
}

bool TNMHTTP::SendsData() const
{
    switch (CommandType) {
    case CmdType::Post:
    case CmdType::Put:
    case CmdType::Patch:
    case CmdType::Trace:
    case CmdType::Wrapped:
    case CmdType::Link: // a Content-Length with no data would hold the server until the time-out
    case CmdType::Unlink:
        return true;
    default:
        return false;
    }
}

void TNMHTTP::BuildRequestHeader()
{
    RequestHeader.Clear();
    if (CommandType != CmdType::Wrapped) {
        // A proxy needs the absolute address: given only a path, squid and
        // tinyproxy answer 400.
        std::string target = RequestPath;
        if (!Proxy.empty())
            target = "http://" + Host + (Port != 80 ? ":" + std::to_string(Port) : "") + wholePath_;
        RequestHeader.Add(MethodText(CommandType) + EscapeBlanks(target) + " HTTP/1.0");
    }
    if (!Proxy.empty()) {
        // A kept-alive proxy connection would hold the body capture, which ends
        // only when the connection closes, until the time-out.
        RequestHeader.Add("Proxy-Connection: close");
        RequestHeader.Add("Host: " + Host);
    }
    RequestHeader.SetHeader("Host", Host);
    RequestHeader.Add("Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff");
    RequestHeader.Add("Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript");
    RequestHeader.SetHeader("From", HeaderInfo.LocalMailAddress);
    RequestHeader.SetHeader("User-Agent", HeaderInfo.LocalProgram);
    // The cookie belongs to the host the command was given, not to whatever
    // host a redirect names.
    if (!offHost_)
        RequestHeader.SetHeader("Cookie", HeaderInfo.Cookie);
    RequestHeader.SetHeader("Referer", HeaderInfo.Referer);
    if (!HeaderInfo.UserId.empty() && !HeaderInfo.Password.empty()) {
        // The encoder breaks its output every 45 input bytes; a header value
        // must stay on one line.
        std::string encoded = TNMUUProcessor().Encode(HeaderInfo.UserId + ":" + HeaderInfo.Password);
        encoded.erase(std::remove_if(encoded.begin(), encoded.end(), [](char c) { return c == '\r' || c == '\n'; }),
                      encoded.end());
        RequestHeader.SetHeader("Authorization", "Basic " + encoded);
    }
    RequestHeader.Add("Content-type: application/x-www-form-urlencoded");
    if (CommandType == CmdType::Copy || CommandType == CmdType::Move)
        RequestHeader.Add("URI-header: " + TargetURI);
    if (CommandType == CmdType::Link || CommandType == CmdType::Unlink)
        RequestHeader.Add("Link: " + TargetURI);
    if (SendsData()) {
        long long length = static_cast<long long>(SendData.size());
        if (OutputFileMode) {
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(SendData.c_str(), "rb"), &std::fclose);
            if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
                throw Exception("Cannot open file \"" + SendData + "\"");
            length = std::ftell(file.get());
        }
        RequestHeader.Add("Content-Length: " + std::to_string(length));
    }

    // A line break or NUL inside a value would let it add lines of its own to
    // the request (or cut it short), so such a request is never sent.
    for (const std::string& line : RequestHeader) {
        if (line.find_first_of(kLineBreakOrNul) != std::string::npos)
            throw Exception("Invalid character in request header");
    }
}

void TNMHTTP::SendRequest()
{
    std::string text;
    for (const std::string& line : RequestHeader)
        text += line + "\r\n";
    Write(text);
    Writeln("");
    if (SendsData()) {
        if (OutputFileMode)
            SendFile(SendData);
        else
            Write(SendData);
    }
}

void TNMHTTP::ReadReplyHeader()
{
    SetCookie.clear();
    Date.clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
    if (OutputFileMode) {
        file.reset(std::fopen(Header.c_str(), "wb"));
        if (!file)
            throw Exception("Cannot create file \"" + Header + "\"");
    } else {
        Header.clear();
    }
    std::int64_t size = 0;
    auto store = [&](const std::string& line) {
        size += static_cast<std::int64_t>(line.size());
        if (size > MaxReplyHeader)
            throw Exception("Reply header larger than 300 KB");
        if (!file)
            Header += line;
        else if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size())
            throw Exception("Stream write error");
    };

    // ReadLn gives nothing once the server has closed, a line cut short
    // included. A header without its blank line is a broken transfer, not a
    // reply with an empty body; the close ends only a body.
    const auto readLine = [this] {
        std::string read = ReadLn();
        if (read.empty())
            throw ESockError(kHeaderCut);
        return read;
    };
    std::string line = readLine();
    try {
        const int number = StrToInt(FieldOf(line, ' ', 2));
        ReplyNumber = number >= INT16_MIN && number <= INT16_MAX ? number : 0;
    } catch (const EConvertError&) {
        ReplyNumber = 0;
    }
    store(line);
    do {
        line = readLine();
        const std::string field = Upper(FieldOf(line, ' ', 1));
        if (field == "SET-COOKIE:")
            SetCookie = ValueFrom(line, 12);
        else if (field == "LOCATION:")
            Location = ValueFrom(line, 10);
        else if (field == "DATE:")
            Date = ValueFrom(line, 6);
        store(line);
    } while (line != "\r\n" && line != "\n");
}

// One connection: request, reply, body and outcome; closed whatever happens.
void TNMHTTP::Pass(bool lastPass)
{
    try {
        Connect();
        SendRequest();
        ReplyNumber = 0;
        ReadReplyHeader();
        if (InputFileMode)
            CaptureFile(Body, MaxReplyBody + 1);
        else
            CaptureString(Body, MaxReplyBody + 1);
        if (BytesRecvd > MaxReplyBody)
            throw Exception("Reply body larger than 64 MB");

        if (ReplyNumber > 399 || (IsRedirect(ReplyNumber) && lastPass)) {
            if (OnFailure)
                OnFailure(CommandType);
        } else if (IsRedirect(ReplyNumber)) {
            URL = Location;
        } else {
            // 299 and 303-399 name no new address to go to: they end the
            // command like any other final reply.
            if (OnSuccess)
                OnSuccess(CommandType);
            ReportStatus(2, "Transaction Completed");
        }
    } catch (...) {
        try {
            Disconnect();
        } catch (...) {
        }
        throw;
    }
    Disconnect();
}

void TNMHTTP::Execute()
{
    const QScopedValueRollback<bool> offHost(offHost_, false);
    std::string firstHost;
    for (int pass = 1;; ++pass) {
        ParseURL();
        if (pass == 1)
            firstHost = Host;
        offHost_ = !SameText(Host, firstHost);
        BuildRequestHeader();
        if (OnAboutToSend)
            OnAboutToSend();
        const bool lastPass = pass == MaxPasses;
        Pass(lastPass);

        if (ReplyNumber >= 300 && ReplyNumber <= 398) {
            bool handled = false;
            // Another host's cookie is not ours to send; a value that could not
            // be sent would fail every later command of this component.
            if (!SetCookie.empty() && !offHost_ && SetCookie.find_first_of(kLineBreakOrNul) == std::string::npos)
                HeaderInfo.Cookie = SetCookie;
            if (OnRedirect)
                OnRedirect(handled);
            if (handled)
                return;
            if (URL.find('/') == std::string::npos)
                URL = "http://" + Host + "/" + URL;
        }
        if (ReplyNumber == 401 && OnAuthenticationNeeded)
            OnAuthenticationNeeded();
        if (!IsRedirect(ReplyNumber) || lastPass)
            return;
    }
}

void TNMHTTP::Run(CmdType cmd, const std::string& url)
{
    URL = url;
    CommandType = cmd;
    Execute();
}

void TNMHTTP::Options(const std::string& url) { Run(CmdType::Options, url); }
void TNMHTTP::Get(const std::string& url) { Run(CmdType::Get, url); }
void TNMHTTP::Head(const std::string& url) { Run(CmdType::Head, url); }
void TNMHTTP::Delete(const std::string& url) { Run(CmdType::Delete, url); }

void TNMHTTP::Post(const std::string& url, const std::string& data)
{
    SendData = data;
    if (EncodePostData && !OutputFileMode) {
        TNMURL encoder;
        encoder.InputString = data;
        SendData = encoder.Encode();
    }
    Run(CmdType::Post, url);
}

void TNMHTTP::Put(const std::string& url, const std::string& data)
{
    SendData = data;
    Run(CmdType::Put, url);
}

void TNMHTTP::Patch(const std::string& url, const std::string& data)
{
    SendData = data;
    Run(CmdType::Patch, url);
}

void TNMHTTP::Trace(const std::string& url, const std::string& data)
{
    SendData = data;
    Run(CmdType::Trace, url);
}

void TNMHTTP::Wrapped(const std::string& url, const std::string& data)
{
    SendData = data;
    Run(CmdType::Wrapped, url);
}

void TNMHTTP::Copy(const std::string& url, const std::string& target)
{
    TargetURI = target;
    Run(CmdType::Copy, url);
}

void TNMHTTP::Move(const std::string& url, const std::string& target)
{
    TargetURI = target;
    Run(CmdType::Move, url);
}

void TNMHTTP::Link(const std::string& url, const std::string& link)
{
    TargetURI = link;
    SendData = "Send.dat";
    Run(CmdType::Link, url);
}

void TNMHTTP::Unlink(const std::string& url, const std::string& link)
{
    TargetURI = link;
    SendData = "Send.dat";
    Run(CmdType::Unlink, url);
}
