// A TCP server on 127.0.0.1 that plays a script per accepted connection on
// its own thread, recording what the client sent. The client under test
// stays on the GUI thread.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class ScriptServer {
public:
    class Conn {
    public:
        // Reads up to the blank line ending a request header, then the body
        // its Content-Length announces; empty when the client closed first.
        std::string ReadRequest();
        bool Send(std::string_view bytes); // false once the client has gone
        void Sleep(int ms);
        void Close();
        void Reset(); // the connection ends with a reset instead of a close
        // How the client ended the connection within ms: "close", "reset" or "open".
        std::string WaitPeerEnd(int ms);

    private:
        friend class ScriptServer;
        Conn(ScriptServer* server, int fd, int index) : server_(server), fd_(fd), index_(index) {}
        bool Readable(int ms);
        ScriptServer* server_;
        int fd_;
        int index_;
    };
    using Script = std::function<void(Conn& conn, int index)>;

    // backlog 0 with filler connections makes a server whose queue is full.
    explicit ScriptServer(Script script, int backlog = 16);
    ~ScriptServer();

    // Answers every request with the same bytes and closes.
    static Script Reply(std::string response);

    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> Requests() const;
    int Connections() const { return accepted_; }

    // Connects to the server without ever being accepted (fills the queue).
    void Fill(int connections);

private:
    void Run();
    void Record(int index, std::string_view bytes);

    Script script_;
    int listen_ = -1;
    int port_ = 0;
    bool accepting_ = true;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<int> fillers_;
    std::thread thread_;
};

// A port on 127.0.0.1 with nothing listening.
int ClosedPort();
