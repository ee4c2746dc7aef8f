#include "internet_client.h"

#include "client_errors.h"

// Placeholder until the form-encoded POST lands.
bool InternetClient::RequestPost(const char*, const char*) {
  client_error::Raise(client_error::REQUEST_FAILED);
}

DWORD InternetClient::FormBodyLength() const { return 0; }
DWORD InternetClient::WriteFormBody(char*, DWORD) const { return 0; }
DWORD FormField::WritePair(char*) const { return 0; }
