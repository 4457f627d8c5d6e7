#pragma once

#include <string>

// What is left of root's power once the helper serves: an unprivileged user without
// supplementary groups, CAP_NET_ADMIN and CAP_NET_RAW alone (when it was given them), an empty
// bounding set, no_new_privs, and a filter that kills it on any system call it does not make
// itself. A memory fault in the helper or in libnl then gains an attacker two network
// capabilities, not root.

// Gives up the user, the groups and every other capability; checked afterwards, since a
// half-done change would leave the helper with more than it believes. privileged says whether
// the two capabilities stay. false with why: the helper must end.
bool DropPrivileges(bool& privileged, std::string& why);

// Last step before serving: from here on only the system calls of the request loop.
bool InstallSystemCallFilter(std::string& why);
