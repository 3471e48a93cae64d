// A test body run in a child process that is first given namespaces of its own: the
// child's failed expectations are printed by the child and fail the test here; a
// child that cannot be prepared fails the test with the reason.
#pragma once

#include <functional>
#include <string>

// Runs prepare in a new child, then the body there; prepare returns empty when the
// child is ready, else the reason, which fails the test after what.
void RunInPreparedChild(const std::string& what, const std::function<std::string()>& prepare,
                        const std::function<void()>& body);

// Runs the body in a child with a mount namespace of its own, in which the file (a path
// without symbolic links) reads as empty: a program the body starts finds nothing there.
void RunWithFileHidden(const std::string& path, const std::function<void()>& body);

// The file the dynamic loader opens for the library (symbolic links resolved), looked
// up in a child so that this process does not load it; empty when it cannot be loaded.
std::string LibraryFile(const std::string& name);
