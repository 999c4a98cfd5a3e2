// Namespaces of a test's own for one process (Linux): its own mounts, its own
// network with a loopback of its own. Each changes the calling process: call
// it in a child (after fork), or in a program that then execs. Each returns an
// error text, empty on success.
#pragma once

#include <cstdint>
#include <string>

// A private mount namespace in which /etc/hosts, /etc/resolv.conf and
// /etc/nsswitch.conf are files written into folder: the hosts file holds only
// hosts, and the name server is on loopback, where nobody answers, so a
// lookup of any other name fails at once and the machine's own name server is
// never asked.
std::string EnterPrivateResolver(const std::string& folder, const std::string& hosts = "");

// A private mount namespace in which a tmpfs of bytes lies on folder: a small
// volume of the test's own, seen by the calling thread and what it starts,
// gone with the namespace.
std::string MountSmallVolume(const std::string& folder, uint64_t bytes);

// A private network namespace with its loopback up: ports taken here are
// nobody else's, and nothing outside can be reached.
std::string EnterPrivateNetwork();
