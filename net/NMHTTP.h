// The HTTP/1.0 client: one synchronous command at a time over TPowersock,
// reply header kept, reply body stored whole in a file or a string.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/Powersock.h"

// The command numbers (the argument of OnSuccess and OnFailure).
enum class CmdType : std::uint8_t {
    Get = 0,
    Options = 1,
    Head = 2,
    Post = 3,
    Put = 4,
    Patch = 5,
    Copy = 6,
    Move = 7,
    Delete = 8,
    Link = 9,
    Unlink = 10,
    Trace = 11,
    Wrapped = 12,
};

// Optional request header values; each non-empty one adds a line.
struct THeaderInfo {
    std::string LocalMailAddress; // From
    std::string LocalProgram;     // User-Agent
    std::string Cookie;
    std::string Referer;
    std::string UserId; // with Password: Authorization: Basic
    std::string Password;
};

// Header lines ("Name: value") in sending order.
class TExStringList {
public:
    // The first line whose text before its first colon is name (any case); -1 if none.
    int IndexOfHeader(std::string_view name) const;
    // Replaces or appends name + ": " + value; an empty value deletes the line.
    void SetHeader(std::string_view name, std::string_view value);

    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int i) const { return lines_[static_cast<std::size_t>(i)]; }
    std::vector<std::string>::const_iterator begin() const { return lines_.begin(); }
    std::vector<std::string>::const_iterator end() const { return lines_.end(); }

private:
    std::vector<std::string> lines_;
};

// The n-th piece (1-based) of text split at every separator, empty pieces
// counting; empty when there are fewer pieces.
std::string FieldOf(std::string_view text, char separator, int n);

// 1-based position of the n-th occurrence of c; text length + 1 when fewer.
std::size_t NthPosition(std::string_view text, char c, int n);

class TNMHTTP : public TPowersock {
public:
    explicit TNMHTTP(QObject* parent = nullptr);

    std::string Body = "Default.htm";
    std::string Header = "Head.txt";
    THeaderInfo HeaderInfo;
    bool InputFileMode = false;  // body to the file named by Body
    bool OutputFileMode = false; // header to the file named by Header; uploads from a file

    std::function<void()> OnAboutToSend;
    std::function<void(CmdType cmd)> OnSuccess;
    std::function<void(CmdType cmd)> OnFailure;
    std::function<void(bool& handled)> OnRedirect;
    std::function<void()> OnAuthenticationNeeded;

    // The state of the last command.
    std::string URL;
    static constexpr std::size_t kMaxRequestPath = 256;
    std::string RequestPath; // at most kMaxRequestPath characters
    TExStringList RequestHeader;
    CmdType CommandType = CmdType::Get;
    std::string SendData;
    std::string TargetURI;
    int ReplyNumber = 0; // 0 when no status could be read
    std::string Location;
    std::string SetCookie;
    std::string Date; // the last reply's Date value, as sent; empty without one
    bool EncodePostData = true;

    // A chain of redirects ends after this many requests.
    static constexpr int MaxPasses = 10;
    // A reply past either bound ends the command with an exception: a server
    // sending without end would otherwise take all memory or disk.
    static constexpr std::int64_t MaxReplyHeader = 300 * 1024;
    static constexpr std::int64_t MaxReplyBody = 64 << 20;

    void Abort() override;

    virtual void Execute();
    virtual void ParseURL();
    virtual void BuildRequestHeader();
    virtual void ReadReplyHeader();
    virtual void SendRequest();

    void Options(const std::string& url);
    void Get(const std::string& url);
    void Post(const std::string& url, const std::string& data);
    void Put(const std::string& url, const std::string& data);
    void Head(const std::string& url);
    void Patch(const std::string& url, const std::string& data);
    void Delete(const std::string& url);
    void Trace(const std::string& url, const std::string& data);
    void Copy(const std::string& url, const std::string& target);
    void Move(const std::string& url, const std::string& target);
    void Link(const std::string& url, const std::string& link);
    void Unlink(const std::string& url, const std::string& link);
    void Wrapped(const std::string& url, const std::string& data);

private:
    void Run(CmdType cmd, const std::string& url);
    void Pass(bool lastPass);
    bool SendsData() const;

    std::string wholePath_; // the request path before the 256-character cut
    bool offHost_ = false;  // this pass follows a redirect to another host
};
