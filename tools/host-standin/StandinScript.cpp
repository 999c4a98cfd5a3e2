#include "tools/host-standin/StandinScript.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace standin {

namespace {

constexpr const char* kScriptVariable = "VORN_HOST_SCRIPT";

void AppendLittleEndian32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(value >> shift));
}

std::vector<uint8_t> MakeRecord(int32_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> record;
    AppendLittleEndian32(record, static_cast<uint32_t>(type));
    AppendLittleEndian32(record, static_cast<uint32_t>(payload.size()));
    record.insert(record.end(), payload.begin(), payload.end());
    return record;
}

ScriptStep MessageStep(int32_t type, const std::vector<uint8_t>& payload) {
    ScriptStep step;
    step.kind = ScriptStep::Kind::Message;
    step.record = MakeRecord(type, payload);
    return step;
}

// Parses one line into step; false when the line is not understood.
bool ParseLine(const std::string& line, Script& script, ScriptStep& step, bool& isStep) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    isStep = true;
    long number = 0;
    if (command == "ready") {
        step.kind = ScriptStep::Kind::Ready;
    } else if (command == "notice") {
        step.kind = ScriptStep::Kind::Notice;
    } else if (command == "signal") {
        step.kind = ScriptStep::Kind::Signal;
    } else if (command == "sleep" && words >> number && number >= 0) {
        step.kind = ScriptStep::Kind::Sleep;
        step.sleepMs = static_cast<unsigned>(number);
    } else if (command == "waitfor" && words >> step.awaitedFile) {
        step.kind = ScriptStep::Kind::WaitFor;
    } else if (command == "boss" && words >> number) {
        std::vector<uint8_t> payload;
        AppendLittleEndian32(payload, static_cast<uint32_t>(number));
        step = MessageStep(3, payload);
    } else if (command == "bossbyte" && words >> number) {
        step = MessageStep(3, {static_cast<uint8_t>(number)});
    } else if (command == "restart") {
        const size_t textStart = line.find_first_not_of(' ', line.find("restart") + 7);
        const std::string text = textStart == std::string::npos ? "" : line.substr(textStart);
        step = MessageStep(11, std::vector<uint8_t>(text.begin(), text.end()));
    } else if (command == "type12") {
        step = MessageStep(12, {});
    } else if (command == "type" && words >> number) {
        step = MessageStep(static_cast<int32_t>(number), {});
    } else if (command == "oversized" && words >> number) {
        long length = 0;
        if (!(words >> length) || length < 0) return false;
        std::vector<uint8_t> payload(static_cast<size_t>(length));
        for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>('A' + i % 26);
        step = MessageStep(static_cast<int32_t>(number), payload);
    } else if (command == "log" && words >> script.logFile) {
        isStep = false;
    } else if (command == "stopdelay" && words >> number && number >= 0) {
        script.stopDelayMs = static_cast<unsigned>(number);
        isStep = false;
    } else {
        return false;
    }
    step.line = line;
    return true;
}

}  // namespace

Script ParseScript(std::istream& in) {
    Script script;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        ScriptStep step;
        bool isStep = false;
        if (!ParseLine(line, script, step, isStep)) {
            std::fprintf(stderr, "host stand-in: script line not understood: %s\n", line.c_str());
            continue;
        }
        if (isStep) script.steps.push_back(std::move(step));
    }
    return script;
}

Script LoadScriptFromEnvironment() {
    const char* path = std::getenv(kScriptVariable);
    if (!path || !*path) {
        std::istringstream defaultScript("sleep 300\nready\n");
        return ParseScript(defaultScript);
    }
    std::ifstream in(path);
    if (!in) std::fprintf(stderr, "host stand-in: cannot read script %s\n", path);
    return ParseScript(in);
}

std::optional<Script> LoadScriptForParameters(const std::string& parameters) {
    const char* path = std::getenv(kScriptVariable);
    if (!path || !*path) return std::nullopt;
    std::ifstream in(std::string(path) + "." + parameters);
    if (!in) return std::nullopt;
    return ParseScript(in);
}

}  // namespace standin
