#include "app/UpdateApp.h"

namespace {
CUpdateApp theApp;
}  // namespace

int main(int argc, char** argv) {
    return theApp.InitInstance(argc, argv);
}
