// The binding against library files that are missing, incomplete or greedy
// with their buffers. The test libraries are built into a folder beside
// this test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "device/dynamic_controller_library.h"
#include "portable.h"
#include "text/text.h"

namespace {

namespace fs = std::filesystem;
using kavr::DynamicControllerLibrary;
using kavr::kLibraryUnavailable;
using kavr::LibraryText;
using kavr::ResultCode;
using test_support::ScratchFolder;
constexpr auto kNpos = std::string::npos;

// The loader's reason for a file that is not there, in words that do not
// depend on the system's language.
#ifdef _WIN32
constexpr const char* kNoSuchFile = "(system error 126)";
#else
constexpr const char* kNoSuchFile = "No such file";
#endif

fs::path TestLibrary(const char* fileName) {
  return kavr::ExecutableFolder() / KAVR_TEST_LIBRARY_FOLDER / fileName;
}

std::string ErrorText(DynamicControllerLibrary& library) {
  LibraryText buffer = kavr::EmptyLibraryText();
  library.GetLastErr(buffer);
  return kavr::ToUtf8(kavr::UpToFirstNul(buffer));
}

// Every entry but GetLastErr, in the header's order.
std::vector<ResultCode> CallEach(DynamicControllerLibrary& l) {
  std::int32_t count = 0;
  LibraryText versions = kavr::EmptyLibraryText(), serials = kavr::EmptyLibraryText();
  KAVR_State state;
  KAVR_Mode mode;
  KAVR_Parameters parameters;
  KAVR_StartParameters start;
  float speed = 3000.0f;
  return {l.Init(count, versions, serials),
          l.GetState(0, state),
          l.GetMode(0, mode),
          l.SetMode(0, mode),
          l.GetParameters(0, parameters),
          l.SetParameters(0, parameters),
          l.GetStartParameters(0, start),
          l.Start(0, 0, speed, start),
          l.Stop(0),
          l.SaveParametersToFlash(0)};
}

TEST(BindingWithoutFile, EveryCallFailsWithTheBindingsOwnTextUntilTheFileIsCopiedIn) {
  ScratchFolder folder;
  const fs::path file = folder.path / kavr::LibraryFileName();
  DynamicControllerLibrary library(file);
  EXPECT_EQ(library.LibraryLoadFailure(), "") << "nothing is loaded before the first call";

  EXPECT_EQ(CallEach(library), std::vector<ResultCode>(10, kLibraryUnavailable));
  const std::string failure = library.LibraryLoadFailure();
  EXPECT_EQ(failure.rfind("Cannot load the controller library " + file.string() + ": ", 0), 0u) << failure;
  EXPECT_NE(failure.find(kNoSuchFile), kNpos) << "the loader's reason: " << failure;
  EXPECT_EQ(ErrorText(library), failure);

  // The own text is cut to a short buffer, and a long one is cleared past it.
  LibraryText small(10, U'\0'), dirty(1000, U'x');
  library.GetLastErr(small);
  library.GetLastErr(dirty);
  EXPECT_EQ(kavr::ToUtf8(small), failure.substr(0, 10));
  EXPECT_EQ(dirty.find_first_not_of(U'\0', kavr::FromUtf8(failure).size()), LibraryText::npos);

  // Loading is tried again at each call.
  fs::copy_file(TestLibrary(KAVR_TEST_LIBRARY_WITHOUT_STOP), file);
  KAVR_State state;
  EXPECT_EQ(library.GetState(0, state), 0);
  EXPECT_EQ(library.LibraryLoadFailure(), "");
  EXPECT_EQ(ErrorText(library), "Test library: no error");
}

// A file planted in the current folder under the library's name must never
// be what a relative path loads.
TEST(BindingWithRelativePath, IsRefusedEvenWhenTheFileIsThere) {
  ScratchFolder folder;
  fs::copy_file(TestLibrary(KAVR_TEST_LIBRARY_WITHOUT_STOP), folder.path / kavr::LibraryFileName());
  const fs::path previous = fs::current_path();
  fs::current_path(folder.path);
  for (const std::string& relative :
       {std::string(kavr::LibraryFileName()), "./" + std::string(kavr::LibraryFileName())}) {
    DynamicControllerLibrary library{fs::path(relative)};
    KAVR_State state;
    EXPECT_EQ(library.GetState(0, state), kLibraryUnavailable) << relative;
    EXPECT_NE(library.LibraryLoadFailure().find("not absolute"), kNpos) << library.LibraryLoadFailure();
  }
  fs::current_path(previous);
}

TEST(BindingWithMissingEntry, OnlyThatCallFailsAndTheTextNamesIt) {
  DynamicControllerLibrary library{TestLibrary(KAVR_TEST_LIBRARY_WITHOUT_STOP)};
  std::vector<ResultCode> expected(10, 0);
  expected[8] = kLibraryUnavailable;  // Stop
  EXPECT_EQ(CallEach(library), expected);

  // The binding's own failure is the latest one only until a call reaches
  // the library again.
  ASSERT_EQ(library.Stop(0), kLibraryUnavailable);
  const std::string text = ErrorText(library);
  EXPECT_NE(text.find("_KAVRVB_Stop"), kNpos) << text;
  EXPECT_NE(text.find(TestLibrary(KAVR_TEST_LIBRARY_WITHOUT_STOP).string()), kNpos) << text;
  EXPECT_EQ(ErrorText(library), text) << "asking twice gives the same text";
  EXPECT_EQ(library.LibraryLoadFailure(), "");
  KAVR_State state;
  ASSERT_EQ(library.GetState(1, state), 7);
  EXPECT_EQ(ErrorText(library), "Test library: no controller 1");

  DynamicControllerLibrary withoutGetLastErr{TestLibrary(KAVR_TEST_LIBRARY_WITHOUT_GETLASTERR)};
  ASSERT_EQ(withoutGetLastErr.GetState(1, state), 7);
  EXPECT_NE(ErrorText(withoutGetLastErr).find("has no entry _KAVRVB_GetLastErr"), kNpos);
}

// The library fills every byte it is offered and then reads its text as a
// C string: without the extra zero byte the sanitizer build reports it.
TEST(BindingTextBuffers, FullBuffersNeitherOverrunNorLoseCharacters) {
  DynamicControllerLibrary library{TestLibrary(KAVR_TEST_LIBRARY_FILLING_BUFFERS)};
  const std::pair<int, int> lengths[] = {{1000, 1000}, {5, 17}};
  for (const auto& [versionsLength, serialsLength] : lengths) {
    SCOPED_TRACE(serialsLength);
    std::int32_t count = 0;
    LibraryText versions(versionsLength, U'\0'), serials(serialsLength, U'\0');
    ASSERT_EQ(library.Init(count, versions, serials), 0);
    EXPECT_EQ(count, versionsLength + serialsLength) << "characters the library read back";
    EXPECT_EQ(versions, LibraryText(versionsLength, U'\u00E9'));
    EXPECT_EQ(serials, LibraryText(serialsLength, U'S'));
  }
  LibraryText error = kavr::EmptyLibraryText();
  library.GetLastErr(error);
  EXPECT_EQ(error, LibraryText(1000, U'E'));
}

}  // namespace
