// Files that systemd hands the service alone (LoadCredential=NAME:PATH), found by their name so
// that the options name a secret without a path on the machine that holds it.
#pragma once

#include <string>
#include <string_view>

namespace service {

enum class CredentialLookup { kFound, kBadName, kNoDirectory };

// $CREDENTIALS_DIRECTORY/NAME into *path. kBadName for an empty name, one with a / or a dot
// directory; kNoDirectory when the variable is unset or empty (not started by such a unit).
CredentialLookup FindCredential(std::string_view name, std::string* path);

// What is wrong, for a lookup that failed: "needs a credential name without /" or "needs
// $CREDENTIALS_DIRECTORY: give the unit LoadCredential=NAME:PATH".
std::string CredentialProblem(CredentialLookup lookup, std::string_view name);

}  // namespace service
