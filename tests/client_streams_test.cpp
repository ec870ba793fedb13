// Stream attributes opened as file descriptors through NWDSOpenStream,
// against the process's store (NWCLIENT_STORE=:memory:).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "client_dir.h"

namespace {

using client_dir::ClientDir;

std::string ReadAll(int fd) {
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  EXPECT_EQ(n, 0) << "read error";
  return out;
}

class ClientStreams : public ClientDir {
protected:
  // Opens, writes `text`, truncates at the end and closes: the first failure or 0.
  NWDSCCODE WriteStream(const std::string &entry, const std::string &text,
                        const char *attr = "Login Script") {
    NWFILE_HANDLE fd = -1;
    if (NWDSCCODE st = NWDSOpenStream(ctx, entry.c_str(), attr, DS_WRITE_STREAM, &fd)) return st;
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    EXPECT_EQ(ftruncate(fd, lseek(fd, 0, SEEK_CUR)), 0);
    EXPECT_EQ(close(fd), 0);
    return 0;
  }
  std::string ReadStream(const std::string &entry, const char *attr = "Login Script") {
    NWFILE_HANDLE fd = -1;
    EXPECT_EQ(NWDSOpenStream(ctx, entry.c_str(), attr, DS_READ_STREAM, &fd), 0);
    if (fd < 0) return "<not opened>";
    std::string s = ReadAll(fd);
    EXPECT_EQ(write(fd, "x", 1), -1) << "opened for reading only";
    close(fd);
    return s;
  }
};

TEST_F(ClientStreams, WriteThenReadBackThroughNewDescriptors) {
  ASSERT_EQ(AddUser("Scripted"), 0);
  EXPECT_EQ(ReadStream("CN=Scripted"), "") << "no content reads as empty";
  EXPECT_EQ(Read("CN=Scripted").values.count("Login Script"), 0u) << "reading gives no value";

  NWFILE_HANDLE fd = -1;
  ASSERT_EQ(NWDSOpenStream(ctx, "CN=Scripted", "Login Script", DS_WRITE_STREAM, &fd), 0);
  ASSERT_GE(fd, 0);
  EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  struct stat sb {};
  ASSERT_EQ(fstat(fd, &sb), 0);
  EXPECT_EQ(sb.st_mode & 0777, 0600u);
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
  char c;
  EXPECT_EQ(read(fd, &c, 1), -1) << "opened for writing only";
  const std::string script = "MAP ROOT F:=SYS:\nWRITE \"hello\"\n";
  ASSERT_EQ(write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
  ASSERT_EQ(close(fd), 0);

  EXPECT_EQ(ReadStream("CN=Scripted"), script);
  auto r = Read("CN=Scripted");
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.values.count("Login Script"), 1u) << "the attribute has its value";
  EXPECT_EQ(r.syntaxes["Login Script"], nuint32{SYN_STREAM});

  // A shorter content replaces it when the writer truncates at its end.
  ASSERT_EQ(WriteStream("CN=Scripted", "EXIT\n"), 0);
  EXPECT_EQ(ReadStream("CN=Scripted"), "EXIT\n");

  // Read and write on one descriptor.
  ASSERT_EQ(NWDSOpenStream(ctx, "CN=Scripted", "Login Script", DS_READ_STREAM | DS_WRITE_STREAM, &fd), 0);
  EXPECT_EQ(ReadAll(fd), "EXIT\n") << "opening for writing keeps the content";
  ASSERT_EQ(write(fd, "END\n", 4), 4);
  ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
  EXPECT_EQ(ReadAll(fd), "EXIT\nEND\n");
  close(fd);

  // Each entry and attribute has its own content.
  ASSERT_EQ(AddUser("Other"), 0);
  EXPECT_EQ(ReadStream("CN=Other"), "");
  ASSERT_EQ(WriteStream("CN=Scripted", "job", "Print Job Configuration"), 0);
  EXPECT_EQ(ReadStream("CN=Scripted", "Print Job Configuration"), "job");
  EXPECT_EQ(ReadStream("CN=Scripted"), "EXIT\nEND\n");
}

TEST_F(ClientStreams, ContentOfARemovedEntryDoesNotReappear) {
  ASSERT_EQ(AddUser("Gone"), 0);
  ASSERT_EQ(WriteStream("CN=Gone", "old secret"), 0);
  ASSERT_EQ(NWDSRemoveObject(ctx, "CN=Gone"), 0);
  ASSERT_EQ(AddUser("Gone"), 0);
  EXPECT_EQ(ReadStream("CN=Gone"), "");
}

TEST_F(ClientStreams, Refusals) {
  ASSERT_EQ(AddUser("Plain"), 0);
  ASSERT_EQ(Add("CN=Team", {{"Object Class", SYN_CLASS_NAME, {"Group"}}}), 0);
  NWFILE_HANDLE fd = -7;
  EXPECT_EQ(NWDSOpenStream(ctx, "CN=Plain", "Surname", DS_READ_STREAM, &fd), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(NWDSOpenStream(ctx, "CN=Plain", "No Such Attr", DS_READ_STREAM, &fd), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(NWDSOpenStream(ctx, "CN=Nobody", "Login Script", DS_READ_STREAM, &fd), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSOpenStream(ctx, "CN=Team", "Login Script", DS_WRITE_STREAM, &fd), ERR_ILLEGAL_ATTRIBUTE);
  EXPECT_EQ(NWDSOpenStream(ctx, "CN=Plain", "Login Script", 0, &fd), ERR_INVALID_REQUEST);
  EXPECT_EQ(NWDSOpenStream(ctx, "CN=Plain", "Login Script", 0x10 | DS_READ_STREAM, &fd), ERR_INVALID_REQUEST);
  EXPECT_EQ(NWDSOpenStream(ctx, "CN=Plain", "Login Script", DS_READ_STREAM, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(fd, -7) << "no descriptor handed back on failure";
  EXPECT_EQ(Read("CN=Plain").values.count("Login Script"), 0u);
}

} // namespace
