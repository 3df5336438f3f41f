// The program's own windows on the stand-in controller library, loaded from
// beside the test executable through the real binding: pick a controller,
// then press the buttons a user tries first.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/selection.h"
#include "device/dynamic_controller_library.h"
#include "dialog.h"
#include "dlgform.h"
#include "fakes.h"
#include "portable.h"

namespace {

using ::testing::StartsWith;

TEST(EndToEndWindow, SelectReadStateSetModeStartAndStopOnTheStandInLibrary) {
  // The stand-in keeps its flash and state here, never in the user's own folders.
  test_support::StandInScratch scratch;
  test_support::EnvironmentOverride devices("KAVR_SIM_DEVICES", "2");
  test_support::UnsetEnvironment("KAVR_SIM_FAIL");

  kavr::DynamicControllerLibrary library;
  fakes::Strings shown;
  fakes::RecordingDisplay display(&shown);

  Dialog dialog(library, display);
  ASSERT_TRUE(dialog.Load()) << library.LibraryLoadFailure();
  ASSERT_EQ(dialog.findChild<QListWidget*>("List1")->count(), 2);
  dialog.findChild<QListWidget*>("List1")->setCurrentRow(1);
  dialog.findChild<QPushButton*>("OKButton")->click();

  DLGForm* window = dialog.TestWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(dialog.Chosen().DeviceIndex, 1);
  const QString selection = window->findChild<QLabel*>("TextSel")->text();
  EXPECT_EQ(selection.size(), 36);
  EXPECT_THAT(selection.toStdString(), StartsWith("S/N: " + dialog.Chosen().DeviceSerial + "  Version: "));

  for (const char* button : {"CGetState", "CSetMode", "CStart", "CStop"}) {
    window->findChild<QPushButton*>(button)->click();
  }
  ASSERT_EQ(shown, (fakes::Strings{"show KAVR_GetState Successful", "show KAVR_SetMode Successful",
                                   "show KAVR_Start Successful", "show KAVR_Stop Successful"}));
  EXPECT_THAT(display.shown[2].prompt, StartsWith("Destination position - 0\rSpeed - "));
  EXPECT_EQ(display.shown[3].prompt, "Should be Stoped");
}

}  // namespace
