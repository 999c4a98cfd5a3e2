// A name service of the test's own for one process: a private mount namespace
// in which /etc/hosts, /etc/resolv.conf and /etc/nsswitch.conf are files of the
// test's. The hosts file holds only what the test gives; the name server is on
// loopback, where nobody answers, so a lookup of any other name fails at once
// and the machine's own name server is never asked.
#pragma once

#include <string>

// Writes the three files into folder and enters the namespace. It changes the
// calling process: call it in a child (after fork, or in a program that then
// execs). Returns an error text, empty on success.
std::string EnterPrivateResolver(const std::string& folder, const std::string& hosts = "");
