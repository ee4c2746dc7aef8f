#include "net/internet_client.h"

#include "client_test_support.h"
#include "win32_stand_in.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const std::string kDelimiter = "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n";
const std::string kClosing = "----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n";

struct Field {
  std::string name;
  std::string value;
  bool isFile;
};

std::string PlainPart(const std::string& name, const std::string& value) {
  return kDelimiter + "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
         "\r\n";
}

std::string FileHeader(const std::string& name, const std::string& path) {
  return kDelimiter + "Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + path +
         "\"\r\n\r\n";
}

std::string FilePart(const std::string& name, const std::string& path,
                     const std::string& contents) {
  return FileHeader(name, path) + contents + "\r\n";
}

// Every byte value in steps of 7, so NULs, CR, LF and high bytes all appear.
std::string BinaryContents(std::size_t size) {
  std::string contents(size, '\0');
  for (std::size_t i = 0; i < size; ++i) contents[i] = static_cast<char>(i * 7 % 256);
  return contents;
}

std::string ContentLengthHeader(std::size_t length) {
  return "Content-Length: " + std::to_string(length) + "\r\n";
}

class MultipartPostTest : public ClientRequestTest {
 protected:
  static void AddFields(InternetClient& client, const std::vector<Field>& fields) {
    for (const Field& f : fields) client.AddFormField(f.name.c_str(), f.value.c_str(), f.isFile);
  }

  // Sends the fields and checks what every such request must show; returns the written body.
  static std::string Send(const std::vector<Field>& fields) {
    InternetClient client;
    Connect(client);
    AddFields(client, fields);
    EXPECT_TRUE(client.Request("/upload", REQUEST_POST_MULTIPART, nullptr));
    EXPECT_EQ(standin::LiveHeapBlocks(), 0);
    EXPECT_EQ(standin::OpenFileHandles(), 0);
    if (standin::WrittenBodies().size() != 1) {
      ADD_FAILURE() << "expected one InternetWriteFile";
      return "";
    }
    const std::string body = standin::WrittenBodies()[0];
    const auto headers = standin::CallsTo("HttpAddRequestHeadersA");
    EXPECT_EQ(headers.back().args[1], ContentLengthHeader(body.size()));
    EXPECT_EQ(Args("InternetWriteFile").at(2), std::to_string(body.size()));
    return body;
  }

  static std::string BlockSize() { return standin::CallsTo("HeapAlloc").at(0).args.at(2); }
};

struct BodyCase {
  const char* name;
  std::vector<Field> fields;
  std::map<std::string, std::string> files;
  std::string body;
  DWORD estimate;
  std::string block;
};

const std::string kLongValue(20000, 'v');
const std::string kLongPath = "C:\\" + std::string(6100, 'p');

const BodyCase kBodyCases[] = {
    {"one plain field",
     {{"a", "b", false}},
     {},
     "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n"
     "b\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n",
     8192,
     "8193"},
    {"one file field",
     {{"f", "C:\\t.txt", true}},
     {{"C:\\t.txt", "xyz"}},
     "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; name=\"f\"; "
     "filename=\"C:\\t.txt\"\r\n\r\nxyz\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n",
     6147,
     "6148"},
    {"file that cannot be opened is its header alone",
     {{"f", "C:\\t.txt", true}},
     {},
     "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; name=\"f\"; "
     "filename=\"C:\\t.txt\"\r\n\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n",
     6143,
     "6144"},
    {"empty file",
     {{"f", "e.bin", true}},
     {{"e.bin", ""}},
     FilePart("f", "e.bin", "") + kClosing,
     6144,
     "6145"},
    {"binary contents",
     {{"bin", "b.bin", true}},
     {{"b.bin", BinaryContents(3000)}},
     FilePart("bin", "b.bin", BinaryContents(3000)) + kClosing,
     9144,
     "9145"},
    {"plain part then file part",
     {{"a", "b", false}, {"f", "C:\\t.txt", true}},
     {{"C:\\t.txt", "xyz"}},
     "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n"
     "b\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; name=\"f\"; "
     "filename=\"C:\\t.txt\"\r\n\r\nxyz\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n",
     14339,
     "14340"},
    {"missing file between plain parts",
     {{"a", "1", false}, {"m", "gone", true}, {"b", "2", false}},
     {},
     PlainPart("a", "1") + FileHeader("m", "gone") + PlainPart("b", "2") + kClosing,
     22527,
     "22528"},
    {"quotes and line breaks are not escaped",
     {{"a\"b", "x\r\ny", false}},
     {},
     PlainPart("a\"b", "x\r\ny") + kClosing,
     8192,
     "8193"},
    // The estimate alone is too small in these: the block holds the exact body.
    {"empty list is the closing delimiter alone", {}, {}, kClosing, 0, "39"},
    {"plain value above its allowance",
     {{"big", kLongValue, false}},
     {},
     PlainPart("big", kLongValue) + kClosing,
     8192,
     "20123"},
    {"file header above its allowance",
     {{"f", kLongPath, true}},
     {},
     FileHeader("f", kLongPath) + kClosing,
     6143,
     "6235"},
};

TEST_F(MultipartPostTest, BuildsBodyByteForByte) {
  for (const BodyCase& c : kBodyCases) {
    SCOPED_TRACE(c.name);
    standin::Reset();
    for (const auto& file : c.files) standin::AddFile(file.first, file.second);
    EXPECT_EQ(Send(c.fields), c.body);
    EXPECT_EQ(BlockSize(), c.block);

    InternetClient client;
    AddFields(client, c.fields);
    EXPECT_EQ(client.EstimateMultipartSize(), c.estimate);
  }
}

struct ReadCase {
  std::size_t size;
  std::size_t reads;
};

const ReadCase kReadCases[] = {{0, 1}, {1, 2}, {1023, 2}, {1024, 2}, {2500, 4}, {3072, 4}};

TEST_F(MultipartPostTest, ReadsFilesInBlocksUntilAnEmptyRead) {
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(c.size);
    standin::Reset();
    standin::AddFile("d.bin", BinaryContents(c.size));
    EXPECT_EQ(Send({{"d", "d.bin", true}}),
              FilePart("d", "d.bin", BinaryContents(c.size)) + kClosing);
    const auto reads = standin::CallsTo("ReadFile");
    ASSERT_EQ(reads.size(), c.reads);
    for (const auto& read : reads) EXPECT_EQ(read.args[2], "1024");
  }
}

TEST_F(MultipartPostTest, FailedReadKeepsWhatWasTaken) {
  standin::AddFile("d.bin", BinaryContents(2500));
  standin::FailCall("ReadFile", 2);
  EXPECT_EQ(Send({{"d", "d.bin", true}}), FilePart("d", "d.bin", BinaryContents(1024)) + kClosing);
  EXPECT_EQ(CountCalls("ReadFile"), 2u);
}

TEST_F(MultipartPostTest, OpensEachFileTwiceForReadingWithReadSharing) {
  standin::AddFile("C:\\t.txt", "xyz");
  standin::AddFile("C:\\u.txt", "uv");
  InternetClient client;
  Connect(client);
  client.AddCookie("s", "1");
  client.AddFormField("f", "C:\\t.txt", true);
  client.AddFormField("g", "C:\\u.txt", true);
  const std::size_t start = standin::Calls().size();
  ASSERT_TRUE(client.Request("/upload", REQUEST_POST_MULTIPART, nullptr));

  Strings names;
  for (std::size_t i = start; i < standin::Calls().size(); ++i)
    names.push_back(standin::Calls()[i].function);
  EXPECT_EQ(names, (Strings{"HttpOpenRequestA", "HttpAddRequestHeadersA", "HttpAddRequestHeadersA",
                            "InternetSetCookieA",
                            // the estimate: each file opened, measured and closed in turn
                            "CreateFileA", "GetFileSize", "CloseHandle", "CreateFileA",
                            "GetFileSize", "CloseHandle", "HeapAlloc",
                            // the parts
                            "CreateFileA", "GetFileSize", "ReadFile", "ReadFile", "CloseHandle",
                            "CreateFileA", "GetFileSize", "ReadFile", "ReadFile", "CloseHandle",
                            "HttpAddRequestHeadersA", "HttpSendRequestExA", "InternetWriteFile",
                            "HttpEndRequestA", "HeapFree"}));
  for (const auto& open : standin::CallsTo("CreateFileA")) {
    EXPECT_EQ(Strings(open.args.begin() + 1, open.args.end()),
              (Strings{"2147483648", "1", "<null>", "3", "128", "<null>"}));
  }
  EXPECT_EQ(Args("InternetSetCookieA"), (Strings{"http://localhost/upload", "s", "1"}));
}

TEST_F(MultipartPostTest, SendsHeadersAndBodyInThreeSteps) {
  for (const ProtocolCase& c : kProtocolCases) {
    SCOPED_TRACE(c.url);
    standin::Reset();
    InternetClient client;
    Connect(client, c.url);
    client.AddFormField("a", "b", false);
    ASSERT_TRUE(client.Request("/up?x=1", REQUEST_POST_MULTIPART, c.referrer));

    EXPECT_EQ(Args("HttpOpenRequestA"),
              (Strings{"h2", "POST", "/up?x=1", "HTTP/1.0", c.referrer ? c.referrer : "<null>",
                       "[*/*]", c.flags, "0"}));
    const auto headers = standin::CallsTo("HttpAddRequestHeadersA");
    ASSERT_EQ(headers.size(), 3u);
    EXPECT_EQ(headers[0].args, (Strings{"h3", "Accept: */*\r\n", "13", "2147483648"}));
    EXPECT_EQ(headers[1].args, (Strings{"h3",
                                        "Content-Type: multipart/form-data; "
                                        "boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n",
                                        "78", "268435456"}));
    EXPECT_EQ(headers[2].args, (Strings{"h3", "Content-Length: 121\r\n", "21", "268435456"}));
    EXPECT_EQ(Args("HttpSendRequestExA"),
              (Strings{"h3", "size=" + std::to_string(sizeof(INTERNET_BUFFERSA)) + " next=null",
                       "<null>", "8", "0"}));
    EXPECT_EQ(Args("InternetWriteFile"), (Strings{"h3", "<ptr>", "121", "<ptr>"}));
    EXPECT_EQ(Args("HttpEndRequestA"), (Strings{"h3", "<null>", "8", "0"}));

    ASSERT_EQ(standin::SendRecords().size(), 1u);
    const INTERNET_BUFFERSA& record = standin::SendRecords()[0];
    EXPECT_EQ(record.lpcszHeader, nullptr);
    EXPECT_EQ(record.lpvBuffer, nullptr);
    EXPECT_EQ(record.dwHeadersLength + record.dwHeadersTotal + record.dwBufferLength +
                  record.dwBufferTotal + record.dwOffsetLow + record.dwOffsetHigh,
              0u);
    EXPECT_NE(client.RequestHandle(), nullptr);
  }
}

// A file that changes between the sizing and the reading.
struct ChangeCase {
  const char* name;
  std::vector<Field> before;  // fields ahead of the file field
  std::optional<std::string> atEstimate;
  std::optional<std::string> atReading;
  std::optional<std::string> taken;  // the part's contents; none for the header alone
  std::function<void()> script;
};

const std::string kLetters = BinaryContents(5000);

const ChangeCase kChangeCases[] = {
    {"grows within the estimate", {}, "abc", kLetters, kLetters.substr(0, 3), [] {}},
    {"grows past an exact block",
     {{"big", kLongValue, false}},
     kLetters.substr(0, 100),
     kLetters,
     kLetters.substr(0, 100),
     [] {}},
    {"grows past a whole read block",
     {{"big", kLongValue, false}},
     kLetters.substr(0, 1024),
     kLetters.substr(0, 1500),
     kLetters.substr(0, 1024),
     [] {}},
    {"shrinks", {}, kLetters.substr(0, 2500), "tail", "tail", [] {}},
    {"disappears", {}, "abc", std::nullopt, std::nullopt, [] {}},
    {"appears", {{"big", kLongValue, false}}, std::nullopt, "abc", std::nullopt, [] {}},
    {"size unknown when estimated",
     {},
     "abc",
     "abc",
     std::nullopt,
     [] { standin::FailCall("GetFileSize", 1); }},
    {"size unknown when read",
     {},
     "abc",
     "abc",
     "abc",
     [] { standin::FailCall("GetFileSize", 2); }},
};

TEST_F(MultipartPostTest, FileChangedSinceSizingNeverOverrunsItsRoom) {
  for (const ChangeCase& c : kChangeCases) {
    SCOPED_TRACE(c.name);
    standin::Reset();
    c.script();
    if (c.atEstimate) standin::AddFile("c.bin", *c.atEstimate);
    int opens = 0;
    standin::SetCreateFileHook([&](const std::string& path) {
      if (path != "c.bin" || ++opens != 2) return;
      if (c.atReading)
        standin::AddFile("c.bin", *c.atReading);
      else
        standin::RemoveFile("c.bin");
    });

    std::vector<Field> fields = c.before;
    fields.push_back({"c", "c.bin", true});
    std::string expected;
    for (const Field& f : c.before) expected += PlainPart(f.name, f.value);
    expected += c.taken ? FilePart("c", "c.bin", *c.taken) : FileHeader("c", "c.bin");
    EXPECT_EQ(Send(fields), expected + kClosing);
    EXPECT_EQ(opens, 2);
  }
}

TEST_F(MultipartPostTest, BuildWithBodyAlreadySetTakesNothing) {
  standin::AddFile("C:\\t.txt", "xyz");
  InternetClient client;
  client.AddFormField("f", "C:\\t.txt", true);
  char existing = 'x';
  char* body = &existing;
  EXPECT_EQ(client.BuildMultipartBody(&body, MULTIPART_BOUNDARY), 0u);
  EXPECT_EQ(body, &existing);
  EXPECT_EQ(CountCalls("HeapAlloc"), 0u);
  EXPECT_EQ(CountCalls("CreateFileA"), 1u);  // measured all the same
  EXPECT_EQ(standin::OpenFileHandles(), 0);
}

TEST_F(MultipartPostTest, BuildUsesTheBoundaryItIsGiven) {
  standin::AddFile("t", "xyz");
  InternetClient client;
  client.AddFormField("a", "b", false);
  client.AddFormField("f", "t", true);
  char* body = nullptr;
  const DWORD length = client.BuildMultipartBody(&body, "XY");
  ASSERT_NE(body, nullptr);
  const std::string expected =
      "--XY\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nb\r\n"
      "--XY\r\nContent-Disposition: form-data; name=\"f\"; filename=\"t\"\r\n\r\nxyz\r\n"
      "--XY--\r\n";
  EXPECT_EQ(std::string(body, length), expected);
  EXPECT_EQ(body[length], '\0');
  EXPECT_EQ(Args("HeapAlloc"), (Strings{"<ptr>", "8", "14340"}));
  client.FreeMultipartBody(body);
  EXPECT_EQ(Args("HeapFree"), (Strings{"<ptr>", "0", "<ptr>"}));
  EXPECT_EQ(standin::LiveHeapBlocks(), 0);
}

TEST_F(MultipartPostTest, WritePartReturnsThePartLength) {
  standin::AddFile("t", "xyz");
  FormField plain{"a", "b", 0};
  FormField file{"f", "t", 1};
  std::string buffer(128, '#');
  const std::string plainPart = "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nb\r\n";
  ASSERT_EQ(plain.WritePart(&buffer[0], "B"), plainPart.size());
  // The plain part's formatting leaves a 0 byte behind it.
  EXPECT_EQ(buffer.substr(0, plainPart.size() + 2), plainPart + std::string("\0#", 2));

  const std::string filePart =
      "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"t\"\r\n\r\nxyz\r\n";
  ASSERT_EQ(file.WritePart(&buffer[0], "B"), filePart.size());
  EXPECT_EQ(buffer.substr(0, filePart.size()), filePart);
  EXPECT_EQ(standin::OpenFileHandles(), 0);
}

}  // namespace
