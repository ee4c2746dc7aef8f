#include "service/posix/credential.h"

#include <cstdlib>

namespace service {

CredentialLookup FindCredential(std::string_view name, std::string* path) {
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") {
    return CredentialLookup::kBadName;
  }
  const char* directory = std::getenv("CREDENTIALS_DIRECTORY");
  if (directory == nullptr || *directory == '\0') return CredentialLookup::kNoDirectory;
  *path = std::string(directory) + "/" + std::string(name);
  return CredentialLookup::kFound;
}

std::string CredentialProblem(CredentialLookup lookup, std::string_view name) {
  if (lookup == CredentialLookup::kBadName) return "needs a credential name without /";
  return "needs $CREDENTIALS_DIRECTORY: give the unit LoadCredential=" + std::string(name) +
         ":PATH";
}

}  // namespace service
