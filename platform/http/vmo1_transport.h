// The transport under the HTTP library, libcurl, is opened when it is first needed,
// not when the library is loaded: a process that makes no HTTP request maps none of
// it, nor the TLS, Kerberos, LDAP and SSH libraries that it brings along.
#pragma once

#include <string>

namespace vmo1 {

// The transport's library, as the dynamic loader looks it up.
extern const char kTransportLibrary[];

// Opens the transport, once for the process: true when it is ready; else false with
// the library's name and the loader's reason in *failure. Every later call gives the
// first call's outcome. An exchange opens it itself; a program that must not go on
// without it asks here first.
bool OpenTransport(std::string* failure);

}  // namespace vmo1
