// The log file and the documents folder of the Windows platform layer.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A fresh folder under the system's temporary folder, removed with its files.
class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char base[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, base), 0u);
    folder_ = std::string(base) + "ms_platform_" + std::to_string(GetCurrentProcessId()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
  }
  void TearDown() override {
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((folder_ + "\\" + entry.cFileName).c_str());
      } while (FindNextFileA(search, &entry));
      FindClose(search);
    }
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Path(const char* name) const { return folder_ + "\\" + name; }

  std::string folder_;
};

using AppendLineTest = TempFolder;

TEST_F(AppendLineTest, WritesTextLinesWithCrLfAfterWhatIsThere) {
  const std::string log = Path("SharedDetails.log");
  {
    std::ofstream earlier(log, std::ios::binary);
    earlier << "from an earlier run\r\n";
  }
  EXPECT_TRUE(platform::AppendLine(log, "Launch"));
  EXPECT_TRUE(platform::AppendLine(log, ""));
  EXPECT_TRUE(platform::AppendLine(log, "two\nparts"));
  EXPECT_TRUE(platform::AppendLine(log, "serverLoop Binded Port: 5000 "));
  EXPECT_EQ(
      ReadAll(log),
      "from an earlier run\r\nLaunch\r\n\r\ntwo\r\nparts\r\nserverLoop Binded Port: 5000 \r\n");
}

TEST_F(AppendLineTest, MissingFolderGivesNoFile) {
  const std::string missing = Path("Quelvo");
  EXPECT_FALSE(platform::AppendLine(missing + "\\SharedDetails.log", "lost"));
  EXPECT_FALSE(Exists(missing));
}

TEST_F(AppendLineTest, ThreadsAppendingAtOnceLoseAndSplitNoLine) {
  // The module appends from the gauge thread and both role threads; one more
  // writer makes a lost or torn line likelier to show.
  constexpr int kWriters = 4;
  constexpr int kLines = 1000;
  const std::string log = Path("SharedDetails.log");
  // Long lines make a torn or overwritten write easy to see.
  const std::string padding(120, '.');
  auto lineOf = [&](int writer, int i) {
    return std::string(1, static_cast<char>('A' + writer)) + std::to_string(i) + padding;
  };
  // The writers start together so that their appends overlap throughout.
  std::atomic<int> ready{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      ready.fetch_add(1);
      while (ready.load() < kWriters) {
      }
      for (int i = 0; i < kLines; ++i) platform::AppendLine(log, lineOf(w, i));
    });
  }
  for (auto& writer : writers) writer.join();

  const std::string text = ReadAll(log);
  std::set<std::string> seen;
  std::size_t lineCount = 0;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    ++lineCount;
    EXPECT_TRUE(seen.insert(text.substr(start, end - start)).second)
        << "twice: " << text.substr(start, end - start);
  }
  EXPECT_EQ(start, text.size()) << "text after the last line end";
  EXPECT_EQ(lineCount, std::size_t{kWriters} * kLines);
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kLines; ++i) EXPECT_EQ(seen.count(lineOf(w, i)), 1u) << lineOf(w, i);
  }
}

TEST(DocumentsFolderTest, IsAnExistingFolderWithBackslashPaths) {
  const auto documents = platform::DocumentsFolder();
  ASSERT_TRUE(documents);
  EXPECT_TRUE(IsFolder(*documents)) << *documents;
  EXPECT_NE(documents->find('\\'), std::string::npos) << *documents;
  EXPECT_EQ(platform::PathSeparator(), '\\');
}

}  // namespace
