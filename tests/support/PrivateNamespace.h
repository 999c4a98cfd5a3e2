// Namespaces of a test's own for one process (Linux): its own mounts, its own
// network with a loopback of its own. Each changes the calling process: call
// it in a child (after fork), or in a program that then execs. Each returns an
// error text, empty on success.
#pragma once

#include <string>

// A private mount namespace in which /etc/hosts, /etc/resolv.conf and
// /etc/nsswitch.conf are files written into folder: the hosts file holds only
// hosts, and the name server is on loopback, where nobody answers, so a
// lookup of any other name fails at once and the machine's own name server is
// never asked.
std::string EnterPrivateResolver(const std::string& folder, const std::string& hosts = "");

// A private network namespace with its loopback up: ports taken here are
// nobody else's, and nothing outside can be reached.
std::string EnterPrivateNetwork();
