// vorn-test-private-resolver FOLDER PROGRAM [ARGS...]: runs PROGRAM with the
// name service of tests/support/PrivateResolver.h, its files kept in FOLDER.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/support/PrivateResolver.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: vorn-test-private-resolver FOLDER PROGRAM [ARGS...]\n");
        return 2;
    }
    const std::string error = EnterPrivateResolver(argv[1]);
    if (!error.empty()) {
        fprintf(stderr, "vorn-test-private-resolver: %s\n", error.c_str());
        return 125;
    }
    execv(argv[2], argv + 2);
    perror("vorn-test-private-resolver: exec");
    return 127;
}
