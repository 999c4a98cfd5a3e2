// Runs a program in namespaces of a test's own (tests/support/PrivateNamespace.h):
//   vorn-test-namespace resolver FOLDER PROGRAM [ARGS...]   no name service
//   vorn-test-namespace network PROGRAM [ARGS...]           a loopback of its own
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/PrivateNamespace.h"

int main(int argc, char** argv) {
    std::string error;
    char** program = nullptr;
    if (argc >= 4 && strcmp(argv[1], "resolver") == 0) {
        error = EnterPrivateResolver(argv[2]);
        program = argv + 3;
    } else if (argc >= 3 && strcmp(argv[1], "network") == 0) {
        error = EnterPrivateNetwork();
        program = argv + 2;
    } else {
        fprintf(stderr,
                "usage: vorn-test-namespace resolver FOLDER PROGRAM [ARGS...]\n"
                "       vorn-test-namespace network PROGRAM [ARGS...]\n");
        return 2;
    }
    if (!error.empty()) {
        fprintf(stderr, "vorn-test-namespace: %s\n", error.c_str());
        return 125;
    }
    execv(program[0], program);
    perror("vorn-test-namespace: exec");
    return 127;
}
