#include "tests/support/LoopbackPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace {

// The inode of the socket listening on 127.0.0.1:port (or any address), from
// /proc/net/tcp; empty when none.
std::string ListeningInode(uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    char wanted[8];
    snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        const bool loopbackOrAny =
            local.starts_with("0100007F:") || local.starts_with("00000000:");
        if (state == "0A" && loopbackOrAny && local.ends_with(wanted)) return inode;
    }
    return "";
}

}  // namespace

RefusingPort::RefusingPort() {
    m_socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 ||
        bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (m_socket >= 0) close(m_socket);
        throw std::runtime_error("no loopback port to hold");
    }
    m_port = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
    close(m_socket);
}

std::string RefusingPort::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + target;
}

std::string LoopbackPortHolder(uint16_t port) {
    const std::string inode = ListeningInode(port);
    if (inode.empty()) return "";
    const std::string socketLink = "socket:[" + inode + "]";
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = process.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", error)) {
            if (std::filesystem::read_symlink(fd.path(), error).string() != socketLink) continue;
            std::string command = ReadFile("/proc/" + pid + "/cmdline");
            for (char& c : command) c = c == '\0' ? ' ' : c;
            while (!command.empty() && command.back() == ' ') command.pop_back();
            return "pid " + pid + " (" + command + ")";
        }
    }
    return "a process this user cannot see";
}

void RequireFreeLoopbackPort(uint16_t port) {
    const std::string holder = LoopbackPortHolder(port);
    if (holder.empty()) return;
    throw std::runtime_error("loopback port " + std::to_string(port) + " is taken by " + holder +
                             " (a demo or another test run?); stop it first");
}
