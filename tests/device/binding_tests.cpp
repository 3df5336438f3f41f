// The binding against library files that are missing, incomplete or greedy
// with their buffers. The test libraries' paths come from the build.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "kavr/dynamic_controller_library.h"
#include "kavr/text.h"
#include "temp_folder.h"

namespace {

using kavr::DynamicControllerLibrary;
using kavr::kLibraryUnavailable;
using kavr::LibraryText;
using kavr::testing::TempFolder;

std::string ErrorText(DynamicControllerLibrary& library) {
  LibraryText buffer = kavr::EmptyLibraryText();
  library.GetLastErr(buffer);
  EXPECT_EQ(buffer.size(), kavr::kLibraryTextLength);
  return kavr::ToUtf8(kavr::UpToFirstNul(buffer));
}

// Every entry but GetLastErr, as a call that needs no set-up.
struct NamedCall {
  const char* name;
  std::function<kavr::ResultCode(DynamicControllerLibrary&)> call;
};

const NamedCall kCalls[] = {
    {"Init",
     [](DynamicControllerLibrary& l) {
       std::int32_t count = 0;
       LibraryText versions = kavr::EmptyLibraryText(), serials = kavr::EmptyLibraryText();
       return l.Init(count, versions, serials);
     }},
    {"GetState",
     [](DynamicControllerLibrary& l) {
       KAVR_State r;
       return l.GetState(0, r);
     }},
    {"GetMode",
     [](DynamicControllerLibrary& l) {
       KAVR_Mode r;
       return l.GetMode(0, r);
     }},
    {"SetMode",
     [](DynamicControllerLibrary& l) {
       KAVR_Mode r;
       return l.SetMode(0, r);
     }},
    {"GetParameters",
     [](DynamicControllerLibrary& l) {
       KAVR_Parameters r;
       return l.GetParameters(0, r);
     }},
    {"SetParameters",
     [](DynamicControllerLibrary& l) {
       KAVR_Parameters r;
       return l.SetParameters(0, r);
     }},
    {"GetStartParameters",
     [](DynamicControllerLibrary& l) {
       KAVR_StartParameters r;
       return l.GetStartParameters(0, r);
     }},
    {"Start",
     [](DynamicControllerLibrary& l) {
       KAVR_StartParameters r;
       float speed = 3000.0f;
       return l.Start(0, 0, speed, r);
     }},
    {"Stop", [](DynamicControllerLibrary& l) { return l.Stop(0); }},
    {"SaveParametersToFlash", [](DynamicControllerLibrary& l) { return l.SaveParametersToFlash(0); }},
};

TEST(BindingWithoutFile, EveryCallFailsAndTheTextNamesTheFullPath) {
  TempFolder folder;
  const std::filesystem::path file = folder.Path() / kavr::LibraryFileName();
  DynamicControllerLibrary library(file);
  EXPECT_EQ(library.LibraryLoadFailure(), "") << "nothing is loaded before the first call";

  for (const NamedCall& c : kCalls) {
    EXPECT_EQ(c.call(library), kLibraryUnavailable) << c.name;
  }
  const std::string failure = library.LibraryLoadFailure();
  EXPECT_EQ(failure.rfind("Cannot load the controller library " + file.string() + ": ", 0), 0u) << failure;
  EXPECT_NE(failure.find("No such file"), std::string::npos) << "the loader's reason: " << failure;
  EXPECT_EQ(ErrorText(library), failure);
}

TEST(BindingWithoutFile, InitLeavesItsArgumentsAlone) {
  TempFolder folder;
  DynamicControllerLibrary library(folder.Path() / kavr::LibraryFileName());
  std::int32_t count = 0;
  LibraryText versions = kavr::EmptyLibraryText();
  LibraryText serials = U"\u4E2D";  // would not survive a trip through the code page
  EXPECT_NE(library.Init(count, versions, serials), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(versions, kavr::EmptyLibraryText());
  EXPECT_EQ(serials, U"\u4E2D");
}

TEST(BindingWithoutFile, LoadsAFileCopiedInAfterAFailedCall) {
  TempFolder folder;
  const std::filesystem::path file = folder.Path() / kavr::LibraryFileName();
  DynamicControllerLibrary library(file);
  KAVR_State state;
  ASSERT_EQ(library.GetState(0, state), kLibraryUnavailable);

  std::filesystem::copy_file(KAVR_TEST_LIBRARY_WITHOUT_STOP, file);
  EXPECT_EQ(library.GetState(0, state), 0);
  EXPECT_EQ(state.CurrentPosition, 1234);
  EXPECT_EQ(library.LibraryLoadFailure(), "");
  EXPECT_EQ(ErrorText(library), "Test library: no error");
}

// A file planted in the current folder under the library's name must never
// be what a relative path loads.
TEST(BindingWithRelativePath, IsRefusedEvenWhenTheFileIsThere) {
  TempFolder folder;
  std::filesystem::copy_file(KAVR_TEST_LIBRARY_WITHOUT_STOP, folder.Path() / kavr::LibraryFileName());
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());

  for (const std::string& relative :
       {std::string(kavr::LibraryFileName()), std::string("./") + kavr::LibraryFileName()}) {
    DynamicControllerLibrary library{std::filesystem::path(relative)};
    KAVR_State state;
    EXPECT_EQ(library.GetState(0, state), kLibraryUnavailable) << relative;
    EXPECT_EQ(state.CurrentPosition, 0) << relative;
    EXPECT_NE(library.LibraryLoadFailure().find("not absolute"), std::string::npos)
        << library.LibraryLoadFailure();
  }
  std::filesystem::current_path(previous);
}

TEST(BindingWithMissingEntry, OnlyThatCallFailsAndTheTextNamesIt) {
  DynamicControllerLibrary library{std::filesystem::path(KAVR_TEST_LIBRARY_WITHOUT_STOP)};
  for (const NamedCall& c : kCalls) {
    if (std::string(c.name) == "Stop") {
      EXPECT_EQ(c.call(library), kLibraryUnavailable);
    } else {
      EXPECT_EQ(c.call(library), 0) << c.name;
    }
  }
  // The binding's own failure is the latest one only until a call reaches
  // the library again.
  ASSERT_EQ(library.Stop(0), kLibraryUnavailable);
  const std::string text = ErrorText(library);
  EXPECT_NE(text.find("_KAVRVB_Stop"), std::string::npos) << text;
  EXPECT_NE(text.find(KAVR_TEST_LIBRARY_WITHOUT_STOP), std::string::npos) << text;
  EXPECT_EQ(ErrorText(library), text) << "asking twice gives the same text";
  EXPECT_EQ(library.LibraryLoadFailure(), "");

  KAVR_State state;
  ASSERT_EQ(library.GetState(1, state), 7);
  EXPECT_EQ(ErrorText(library), "Test library: no controller 1");
}

TEST(BindingWithMissingEntry, MissingGetLastErrIsReportedInTheBuffer) {
  DynamicControllerLibrary library{std::filesystem::path(KAVR_TEST_LIBRARY_WITHOUT_GETLASTERR)};
  KAVR_State state;
  ASSERT_EQ(library.GetState(1, state), 7);
  const std::string text = ErrorText(library);
  EXPECT_NE(text.find("has no entry _KAVRVB_GetLastErr"), std::string::npos) << text;
}

TEST(BindingOwnText, IsCutToTheBufferAndEndedByZeros) {
  TempFolder folder;
  DynamicControllerLibrary library(folder.Path() / kavr::LibraryFileName());
  ASSERT_NE(library.Stop(0), 0);
  const std::string full = library.LibraryLoadFailure();

  LibraryText small(10, U'\0');
  library.GetLastErr(small);
  EXPECT_EQ(kavr::ToUtf8(small), full.substr(0, 10));

  LibraryText dirty(1000, U'x');
  library.GetLastErr(dirty);
  ASSERT_EQ(dirty.size(), 1000u);
  EXPECT_EQ(kavr::ToUtf8(kavr::UpToFirstNul(dirty)), full);
  EXPECT_EQ(dirty.find_first_not_of(U'\0', full.size()), LibraryText::npos);
}

struct Capacities {
  std::int32_t versions = 0, serials = 0, error = 0, errorLength = 0;
};

Capacities ReportedCapacities(const char* path) {
  Capacities c;
  // The binding already holds the library, so this only finds it again.
  void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(handle, nullptr);
  if (handle == nullptr) return c;
  using Report = void (*)(std::int32_t*, std::int32_t*, std::int32_t*, std::int32_t*);
  auto report = reinterpret_cast<Report>(dlsym(handle, "KAVRTest_Report"));
  if (report != nullptr) report(&c.versions, &c.serials, &c.error, &c.errorLength);
  dlclose(handle);
  return c;
}

// The library fills every byte it is offered and then reads its text as a
// C string: without the extra zero byte the sanitizer build reports it.
TEST(BindingTextBuffers, FullBuffersNeitherOverrunNorLoseCharacters) {
  DynamicControllerLibrary library{std::filesystem::path(KAVR_TEST_LIBRARY_FILLING_BUFFERS)};
  std::int32_t count = 0;
  LibraryText versions = kavr::EmptyLibraryText();
  LibraryText serials = kavr::EmptyLibraryText();
  ASSERT_EQ(library.Init(count, versions, serials), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(versions, LibraryText(1000, U'\u00E9'));
  EXPECT_EQ(serials, LibraryText(1000, U'S'));

  LibraryText error = kavr::EmptyLibraryText();
  library.GetLastErr(error);
  EXPECT_EQ(error, LibraryText(1000, U'E'));

  const Capacities c = ReportedCapacities(KAVR_TEST_LIBRARY_FILLING_BUFFERS);
  EXPECT_EQ(c.versions, 1000);
  EXPECT_EQ(c.serials, 1000);
  EXPECT_EQ(c.error, 1000);
  EXPECT_EQ(c.errorLength, 1000);
}

TEST(BindingTextBuffers, CapacityFollowsTheBufferLength) {
  DynamicControllerLibrary library{std::filesystem::path(KAVR_TEST_LIBRARY_FILLING_BUFFERS)};
  std::int32_t count = 0;
  LibraryText versions(5, U'\0');
  LibraryText serials(17, U'\0');
  ASSERT_EQ(library.Init(count, versions, serials), 0);
  EXPECT_EQ(versions, LibraryText(5, U'\u00E9'));
  EXPECT_EQ(serials, LibraryText(17, U'S'));
  const Capacities c = ReportedCapacities(KAVR_TEST_LIBRARY_FILLING_BUFFERS);
  EXPECT_EQ(c.versions, 5);
  EXPECT_EQ(c.serials, 17);
}

}  // namespace
