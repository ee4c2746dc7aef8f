// Who a request counts against, with X-Forwarded-For written by the client: from an untrusted
// peer the header changes nothing; from a trusted one, whatever the client wrote on the left
// gives way to the address its proxy appended on the right, and the answer is always a peer or
// an address in one written form.
//
// Input: header \0 trusted proxies (ADDR,ADDR...)
#include "fuzz/fuzz_support.h"
#include "service/limits/client_address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace service::limits;
  const FuzzParts parts(data, size);
  const std::string& header = parts.Part(0);
  std::string problem;
  auto proxies = TrustedProxies::Parse(parts.Part(1), &problem);
  if (!proxies) return 0;

  const char kStranger[] = "192.0.2.77";     // never trusted below
  const char kAppended[] = "198.51.100.23";  // what a proxy appends for its client
  const char kProxy[] = "10.11.12.13";
  if (proxies->Contains(kStranger) || proxies->Contains(kAppended)) return 0;
  Require(ClientAddress(kStranger, header, *proxies) == kStranger,
          "an untrusted peer's header changes nothing");

  auto with_proxy = TrustedProxies::Parse(parts.Part(1) + "," + kProxy, &problem);
  Require(with_proxy.has_value(), "a list that parsed still parses with one more address");
  if (with_proxy->Contains(kAppended)) return 0;
  Require(ClientAddress(kProxy, header + "," + kAppended, *with_proxy) == kAppended,
          "the proxy's own entry wins over anything the client wrote");

  const std::string client = ClientAddress(kProxy, header, *with_proxy);
  Require(client == kProxy || NormalAddress(client) == client,
          "the client is the peer or an address in its one written form");
  return 0;
}
