// The file calls as the program uses them (a port map read, a log appended
// to, the file each Save keeps, the folder it goes in, the kept files
// listed and the oldest deleted), checked on every backend: the stand-in's
// answers must be Windows's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/contract/registry_backend.h"

namespace velnara::contract {
namespace {

using platform::ErrorCode;
using platform::File;
namespace error = platform::error;
namespace file = platform::file;

constexpr char kFolder[] = "C:\\VelnaraContract";

class FilesContract : public ::testing::TestWithParam<BackendFactory> {
 protected:
  void SetUp() override {
    backend_ = GetParam().make();
    files().CreateDirectory(kFolder, nullptr);  // there from an earlier run, or not
    std::vector<std::string> left;
    files().FindFiles((std::string(kFolder) + "\\*").c_str(), &left);
    for (const std::string& name : left) files().DeleteFile(Path(name).c_str());
  }
  platform::Files& files() { return backend_->files(); }
  static std::string Path(const std::string& name) { return std::string(kFolder) + "\\" + name; }
  std::string Read(const std::string& name) {
    File opened(files());
    std::string text = "<unread>";
    if (opened.Open(Path(name), file::kGenericRead, file::kOpenExisting) == error::kSuccess) {
      EXPECT_EQ(opened.ReadAll(100, &text), error::kSuccess);
    }
    return text;
  }

  std::unique_ptr<RegistryBackend> backend_;
};

TEST_P(FilesContract, NewFilesAppendsFoldersListsAndDeletes) {
  EXPECT_EQ(files().CreateDirectory(kFolder, nullptr), error::kAlreadyExists);
  EXPECT_EQ(files().CreateDirectory(Path("no\\such").c_str(), nullptr), error::kPathNotFound);
  // A folder whose name the pattern below matches (there from an earlier run,
  // or made now), made with a protected list as the kept names' folder is.
  const ErrorCode made = files().CreateDirectory(
      Path("names-sub.txt").c_str(), "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)");
  ASSERT_TRUE(made == error::kSuccess || made == error::kAlreadyExists) << made;
  EXPECT_EQ(files().SetSecurity(Path("names-sub.txt").c_str(),
                                "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)"),
            error::kSuccess);
  // What a folder is, and who owns it: the administrators, or (under Wine,
  // which makes a folder its user's) the account that made it.
  std::uint32_t attributes = 0;
  ASSERT_EQ(files().GetFileAttributes(Path("names-sub.txt").c_str(), &attributes), error::kSuccess);
  EXPECT_EQ(attributes & (file::kAttributeDirectory | file::kAttributeReparsePoint),
            file::kAttributeDirectory);
  EXPECT_EQ(files().GetFileAttributes(Path("none").c_str(), &attributes), error::kFileNotFound);
  std::string owner;
  ASSERT_EQ(files().GetOwner(Path("names-sub.txt").c_str(), &owner), error::kSuccess);
  std::string user;
  ASSERT_EQ(backend_->system().GetProcessUserSid(&user), error::kSuccess);
  EXPECT_TRUE(owner == "S-1-5-32-544" || owner == user) << owner << " " << user;
  EXPECT_EQ(files().GetOwner(Path("none").c_str(), &owner), error::kFileNotFound);

  EXPECT_EQ(platform::WriteNewFile(files(), Path("names-1.txt"), file::kCreateNew, "abc"),
            error::kSuccess);
  EXPECT_EQ(platform::WriteNewFile(files(), Path("names-1.txt"), file::kCreateNew, "x"),
            error::kFileExists);
  EXPECT_EQ(platform::WriteNewFile(files(), Path("no\\names.txt"), file::kCreateNew, "x"),
            error::kPathNotFound);
  EXPECT_EQ(platform::AppendToFile(files(), Path("names-1.txt"), "def\r\n"), error::kSuccess);
  EXPECT_EQ(platform::AppendToFile(files(), Path("log.txt"), "made"), error::kSuccess);
  EXPECT_EQ(Read("names-1.txt"), "abcdef\r\n");
  EXPECT_EQ(Read("log.txt"), "made");
  {  // two copies of the program appending to one log: each write at its end
    File first(files());
    File second(files());
    const std::uint32_t shared = file::kShareRead | file::kShareWrite;
    ASSERT_EQ(first.Open(Path("log.txt"), file::kAppend, file::kOpenAlways, shared),
              error::kSuccess);
    ASSERT_EQ(second.Open(Path("log.txt"), file::kAppend, file::kOpenAlways, shared),
              error::kSuccess);
    EXPECT_EQ(first.Write(" 1"), error::kSuccess);
    EXPECT_EQ(second.Write(" 2"), error::kSuccess);
    EXPECT_EQ(first.Write(" 3"), error::kSuccess);
    std::string text;
    EXPECT_EQ(first.ReadAll(100, &text), error::kAccessDenied) << "it may only append";
  }
  EXPECT_EQ(Read("log.txt"), "made 1 2 3");
  ASSERT_EQ(files().GetFileAttributes(Path("log.txt").c_str(), &attributes), error::kSuccess);
  EXPECT_EQ(attributes & file::kAttributeDirectory, 0u);
  File missing(files());
  EXPECT_EQ(missing.Open(Path("none.txt"), file::kGenericRead, file::kOpenExisting),
            error::kFileNotFound);
  File big(files());
  ASSERT_EQ(big.Open(Path("names-1.txt"), file::kGenericRead, file::kOpenExisting),
            error::kSuccess);
  std::string text;
  EXPECT_EQ(big.ReadAll(7, &text), error::kFileTooLarge);
  EXPECT_EQ(files().DeleteFile(Path("names-1.txt").c_str()), error::kSharingViolation);
  big.Close();
  EXPECT_EQ(platform::WriteNewFile(files(), Path("log.txt"), file::kCreateAlways, "new"),
            error::kSuccess);
  EXPECT_EQ(Read("log.txt"), "new");

  // Files only, matched without regard to case; a folder that is not there.
  std::vector<std::string> found;
  ASSERT_EQ(files().FindFiles(Path("NAMES-*.TXT").c_str(), &found), error::kSuccess);
  EXPECT_EQ(found, std::vector<std::string>{"names-1.txt"});
  EXPECT_EQ(files().FindFiles(Path("*.bak").c_str(), &found), error::kSuccess);
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(files().FindFiles(Path("no\\*.txt").c_str(), &found), error::kPathNotFound);

  EXPECT_EQ(files().DeleteFile(Path("names-1.txt").c_str()), error::kSuccess);
  EXPECT_EQ(files().DeleteFile(Path("names-1.txt").c_str()), error::kFileNotFound);

  std::string folder;
  EXPECT_EQ(files().GetFolderPath(file::kCsidlCommonAppData, &folder), error::kSuccess);
  EXPECT_EQ(folder.compare(0, 3, "C:\\"), 0) << folder;
  EXPECT_EQ(files().GetWindowsDirectory(&folder), error::kSuccess);
  EXPECT_EQ(folder.compare(0, 3, "C:\\"), 0) << folder;
}

INSTANTIATE_TEST_SUITE_P(Backends, FilesContract, ::testing::ValuesIn(RegistryBackends()),
                         [](const ::testing::TestParamInfo<BackendFactory>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace velnara::contract
