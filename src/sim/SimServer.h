// Puts an emulated instrument on the "bus": a listening Unix-domain socket in
// the emulator folder, one thread per connection. Unplugging removes the
// socket and cuts every connection, so transfers in flight fail as they do
// on a real unplug; replugging makes the socket again with the same identity.
#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimInstrument.h"

namespace qv::sim {

class SimServer {
  public:
    SimServer(SimInstrument& instrument, std::string folder);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Creates the folder (0700) and the socket. False with a reason.
    bool Plug(std::string& error);
    void Unplug();
    bool Plugged() const { return m_listen >= 0; }
    const std::string& SocketPath() const { return m_path; }

  private:
    void AcceptLoop(int listenFd);
    void Serve(int fd);

    SimInstrument& m_instrument;
    std::string m_folder;
    std::string m_path;
    int m_listen = -1;
    std::atomic<bool> m_stopAccept{false};
    std::thread m_acceptThread;
    std::mutex m_mutex;
    std::set<int> m_clients;
    std::vector<std::thread> m_workers;
};

}  // namespace qv::sim
