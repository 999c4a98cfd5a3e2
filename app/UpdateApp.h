// The process's entry: crash handling, working directory, log, then the
// controller and its main loop.
#pragma once

class CUpdateApp {
public:
    // Runs during static construction: a crash before start-up hands over
    // writes a crash report.
    CUpdateApp();
    // The start-up sequence; returns the exit code, always 0.
    int InitInstance(int argc, char** argv);
};
