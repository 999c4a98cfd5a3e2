#include "tests/support/PrivateNamespace.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/TempDir.h"

namespace {

std::string Failure(const std::string& what) {
    return what + ": " + strerror(errno);
}

bool WriteProcFile(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return written;
}

// Root may make the namespaces at once; anyone else first a user namespace,
// in which they keep their own ids and get the rights to set the others up.
std::string EnterNamespaces(int kinds) {
    if (unshare(kinds) == 0) return "";
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | kinds) != 0) return Failure("unshare");
    if (!WriteProcFile("/proc/self/setgroups", "deny") ||
        !WriteProcFile("/proc/self/uid_map",
                       std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map",
                       std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
        return Failure("user namespace maps");
    }
    return "";
}

}  // namespace

std::string MountSmallVolume(const std::string& folder, uint64_t bytes) {
    if (std::string error = EnterNamespaces(CLONE_NEWNS); !error.empty()) return error;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return Failure("private mounts");
    }
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        return Failure("tmpfs on " + folder);
    }
    return "";
}

std::string EnterPrivateResolver(const std::string& folder, const std::string& hosts) {
    const std::string files[][2] = {
        {folder + "/hosts", hosts},
        {folder + "/resolv.conf", "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n"},
        {folder + "/nsswitch.conf", "hosts: files dns\n"},
    };
    for (const auto& [path, text] : files) WriteFile(path, text);
    if (std::string error = EnterNamespaces(CLONE_NEWNS); !error.empty()) return error;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return Failure("private mounts");
    }
    for (const char* name : {"hosts", "resolv.conf", "nsswitch.conf"}) {
        const std::string source = folder + "/" + name;
        const std::string target = std::string("/etc/") + name;
        if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return Failure("bind " + target);
        }
    }
    return "";
}

std::string EnterPrivateNetwork() {
    if (std::string error = EnterNamespaces(CLONE_NEWNET); !error.empty()) return error;
    const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (control < 0) return Failure("socket");
    ifreq loopback{};
    strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = ioctl(control, SIOCGIFFLAGS, &loopback) == 0 &&
                    (loopback.ifr_flags |= IFF_UP, ioctl(control, SIOCSIFFLAGS, &loopback) == 0);
    const int error = errno;
    close(control);
    errno = error;
    return up ? "" : Failure("loopback up");
}
