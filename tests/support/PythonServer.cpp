#include "tests/support/PythonServer.h"

#include <stdexcept>

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(20);

std::vector<std::string> PythonCommand(const std::string& script,
                                       const std::vector<std::string>& args) {
    std::vector<std::string> command{"python3", TestServerFile(script)};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

}  // namespace

std::string TestServerFile(const std::string& name) {
    return std::string(VORN_TEST_SERVERS_DIR) + "/" + name;
}

PythonServer::PythonServer(const std::string& script, const std::vector<std::string>& args)
    : m_process(PythonCommand(script, args)) {
    const std::optional<std::string> line = m_process.ReadLine(kStartTimeout);
    const int port = line ? std::stoi(*line) : 0;
    if (port <= 0 || port > 65535) throw std::runtime_error(script + " did not start");
    m_port = static_cast<uint16_t>(port);
}

std::string PythonServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + target;
}
