// The record of a refused answer: errorlog/errorHead_<n>.dat in the current
// folder, holding the request target and the whole head, for the operator.
#pragma once

#include <random>
#include <string>

class ErrorHeadDump {
public:
    ErrorHeadDump();
    // Writes one dump; a file that cannot be created is skipped.
    void Write(const std::string& requestTarget, const std::string& head);

private:
    // Numbers of the dump files: a generator of its own, so that two refused
    // answers in a row do not overwrite each other. Owned by the thread that
    // writes the dumps.
    std::minstd_rand m_names;
};
