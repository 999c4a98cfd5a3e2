#include "platform/posix/CrashReport.h"

#include <execinfo.h>
#include <fcntl.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/FileDescriptor.h"

namespace platform {

namespace {

constexpr int kBacktraceDepth = 64;

// One line of the report, built in a fixed buffer on the stack.
class ReportLine {
public:
    ReportLine& Text(const char* text) {
        while (*text && m_size < sizeof m_data) m_data[m_size++] = *text++;
        return *this;
    }
    ReportLine& Decimal(int64_t value) {
        char digits[24];
        size_t count = 0;
        const bool negative = value < 0;
        uint64_t magnitude =
            negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        do {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative) Text("-");
        while (count > 0 && m_size < sizeof m_data) m_data[m_size++] = digits[--count];
        return *this;
    }
    ReportLine& Hex(uint64_t value) {
        static constexpr char kDigits[] = "0123456789abcdef";
        Text("0x");
        for (int shift = 60; shift >= 0 && m_size < sizeof m_data; shift -= 4) {
            m_data[m_size++] = kDigits[(value >> shift) & 0xf];
        }
        return *this;
    }
    void WriteTo(int fd) {
        Text("\n");
        WriteAll(fd, m_data, m_size);
        m_size = 0;
    }

private:
    char m_data[256];
    size_t m_size = 0;
};

const char* SignalName(int signal) {
    switch (signal) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGILL:
            return "SIGILL";
        case SIGFPE:
            return "SIGFPE";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "unexpected signal";
    }
}

// Writes value as exactly width digits (the highest ones dropped).
struct Register {
    const char* name;
    int index;
};

void WriteRegisters(int fd, const void* context) {
    ReportLine line;
    line.Text("registers:").WriteTo(fd);
    if (!context) {
        line.Text("  none").WriteTo(fd);
        return;
    }
    const auto* state = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    static constexpr Register kRegisters[] = {
        {"rax", REG_RAX}, {"rbx", REG_RBX},    {"rcx", REG_RCX}, {"rdx", REG_RDX},
        {"rsi", REG_RSI}, {"rdi", REG_RDI},    {"rbp", REG_RBP}, {"rsp", REG_RSP},
        {"r8", REG_R8},   {"r9", REG_R9},      {"r10", REG_R10}, {"r11", REG_R11},
        {"r12", REG_R12}, {"r13", REG_R13},    {"r14", REG_R14}, {"r15", REG_R15},
        {"rip", REG_RIP}, {"eflags", REG_EFL}, {"err", REG_ERR}, {"trapno", REG_TRAPNO},
        {"cr2", REG_CR2}};
    for (const Register& reg : kRegisters) {
        line.Text("  ")
            .Text(reg.name)
            .Text(" ")
            .Hex(static_cast<uint64_t>(state->uc_mcontext.gregs[reg.index]))
            .WriteTo(fd);
    }
#elif defined(__aarch64__)
    for (int i = 0; i < 31; ++i) {
        line.Text("  x").Decimal(i).Text(" ").Hex(state->uc_mcontext.regs[i]).WriteTo(fd);
    }
    line.Text("  sp ").Hex(state->uc_mcontext.sp).WriteTo(fd);
    line.Text("  pc ").Hex(state->uc_mcontext.pc).WriteTo(fd);
    line.Text("  pstate ").Hex(state->uc_mcontext.pstate).WriteTo(fd);
#elif defined(__i386__)
    static constexpr Register kRegisters[] = {
        {"eax", REG_EAX}, {"ebx", REG_EBX},   {"ecx", REG_ECX}, {"edx", REG_EDX},
        {"esi", REG_ESI}, {"edi", REG_EDI},   {"ebp", REG_EBP}, {"esp", REG_ESP},
        {"eip", REG_EIP}, {"eflags", REG_EFL}};
    for (const Register& reg : kRegisters) {
        line.Text("  ")
            .Text(reg.name)
            .Text(" ")
            .Hex(static_cast<uint32_t>(state->uc_mcontext.gregs[reg.index]))
            .WriteTo(fd);
    }
#else
    (void)state;
    line.Text("  not available on this architecture").WriteTo(fd);
#endif
}

void WriteBacktrace(int fd) {
    ReportLine line;
    line.Text("backtrace:").WriteTo(fd);
    void* frames[kBacktraceDepth];
    const int depth = backtrace(frames, kBacktraceDepth);
    backtrace_symbols_fd(frames, depth, fd);
}

void WriteMemoryMap(int fd) {
    ReportLine line;
    line.Text("memory map:").WriteTo(fd);
    const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0) {
        line.Text("  unreadable").WriteTo(fd);
        return;
    }
    char chunk[4096];
    while (true) {
        const ssize_t got = ReadAll(maps, chunk, sizeof chunk);
        if (got <= 0 || !WriteAll(fd, chunk, static_cast<size_t>(got))) break;
        if (static_cast<size_t>(got) < sizeof chunk) break;
    }
    close(maps);
}

}  // namespace

void WriteCrashReport(int fd, int signal, const siginfo_t* info, const void* context) {
    ReportLine line;
    line.Text("Crash report").WriteTo(fd);
    line.Text("signal: ").Decimal(signal).Text(" ").Text(SignalName(signal)).WriteTo(fd);
    if (info) {
        line.Text("code: ").Decimal(info->si_code).WriteTo(fd);
        // A fault carries its address; a signal sent by a process, its sender.
        if (info->si_code > 0) {
            line.Text("address: ").Hex(reinterpret_cast<uintptr_t>(info->si_addr)).WriteTo(fd);
        } else {
            line.Text("sent by pid: ").Decimal(info->si_pid).WriteTo(fd);
        }
    }
    line.Text("pid: ").Decimal(getpid()).WriteTo(fd);
    WriteRegisters(fd, context);
    WriteBacktrace(fd);
    WriteMemoryMap(fd);
}

}  // namespace platform
