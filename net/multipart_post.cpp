#include "internet_client.h"

#include "client_errors.h"

// Placeholder until the multipart POST lands.
bool InternetClient::RequestPostMultipart(const char*, const char*) {
  client_error::Raise(client_error::REQUEST_FAILED);
}

DWORD InternetClient::EstimateMultipartSize() const { return 0; }
DWORD InternetClient::BuildMultipartBody(char**, const char*) const { return 0; }
void InternetClient::FreeMultipartBody(char*) const {}
DWORD FormField::WritePart(char*, const char*) const { return 0; }
