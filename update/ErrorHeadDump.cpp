#include "update/ErrorHeadDump.h"

#include <cstdio>

#include "platform/Files.h"

namespace {
constexpr int kDumpNameRange = 100000;
}  // namespace

// Seeded from the system's entropy, so that two processes started in the same
// second do not name their dumps alike either.
ErrorHeadDump::ErrorHeadDump() : m_names(std::random_device{}()) {}

void ErrorHeadDump::Write(const std::string& requestTarget, const std::string& head) {
    platform::CreateDirectories("errorlog");
    std::uniform_int_distribution<int> number(0, kDumpNameRange - 1);
    char name[64];
    snprintf(name, sizeof name, "errorlog/errorHead_%d.dat", number(m_names));
    FILE* dump = fopen(name, "wb");
    if (!dump) return;
    fprintf(dump, "GetFiled,HttpHeadResError:ReqFile[%s]\n", requestTarget.c_str());
    fwrite(head.data(), 1, head.size(), dump);
    fclose(dump);
}
