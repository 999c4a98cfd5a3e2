// The temporary download file: whether what it holds may be resumed, and the
// directories on its way.
#pragma once

#include <ctime>
#include <string>

// Deletes the file at path unless it was created on the local calendar day of
// now (full date, both in local time). The creation time is the file's birth
// time, or its change time where the file system keeps no birth time. A file
// that cannot be opened or examined is left alone. A symbolic link in its
// place was not made by the launcher: the link is removed, never followed.
void DiscardStaleTemp(const std::string& path, time_t now);

// Creates every missing directory on the way to the file named by path; a
// path without "/" has no directory to create.
void EnsureDirectories(const std::string& path);
