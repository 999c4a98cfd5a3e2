// The process's entry: crash handling, working directory, log, then the
// controller and its main loop.
#pragma once

class CUpdateApp {
public:
    // Runs during static construction: a crash before start-up hands over
    // writes a crash report.
    CUpdateApp();
    // The start-up sequence; the process ends in it with exit code 0.
    int InitInstance(int argc, char** argv);
};
