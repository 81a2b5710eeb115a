// A server of the tests' own on 127.0.0.1 (ephemeral port) that accepts one
// control connection and plays a script, for what real FTP servers rarely
// do: replies cut or merged across packets, silence, resets, bad replies.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane::testing {

class ScriptedServer {
  public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // Steps, played in order once Start is called.
    ScriptedServer& Send(std::string bytes);  // one send call (one packet on loopback)
    ScriptedServer& Receive();                // reads one line up to CR LF and records it
    ScriptedServer& Pause(std::chrono::milliseconds time);
    ScriptedServer& Reset();    // closes with a reset (RST)
    ScriptedServer& Close();    // orderly close
    ScriptedServer& Silence();  // sends nothing more until the test ends
    // Opens a data listener on 127.0.0.1 and sends "227 Entering Passive Mode
    // (h1,h2,h3,h4,p1,p2)" naming the given host bytes (a hostile server may name another host).
    ScriptedServer& PassiveReply(std::string host = "127,0,0,1");
    // Accepts the passive data connection, sends the bytes, closes it.
    ScriptedServer& SendPassiveData(std::string bytes);
    // Accepts the passive data connection and holds it open without sending.
    ScriptedServer& HoldPassiveData();
    // Connects to the address of the last PORT line received, sends, closes.
    ScriptedServer& SendActiveData(std::string bytes);
    // The usual greeting and a USER / PASS exchange that succeeds.
    ScriptedServer& Login();

    void Start();
    int port() const { return port_; }
    // Lines received so far, without their CR LF.
    std::vector<std::string> Received();
    // Ends the server: a step still waiting gives up, and the thread is joined.
    void Stop();
    // Empty when every step worked; otherwise what went wrong on the server side.
    std::string Problem();

  private:
    void Run();
    bool ReadLine(int fd, std::string& line);
    bool WaitStop(std::chrono::milliseconds time);
    void Fail(const std::string& what);

    std::vector<std::function<bool(int&)>> steps_;
    int listener_ = -1;
    int data_listener_ = -1;
    int port_ = 0;
    int stop_pipe_[2] = {-1, -1};
    std::string buffer_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> received_;
    std::string problem_;
};

}  // namespace korvane::testing
