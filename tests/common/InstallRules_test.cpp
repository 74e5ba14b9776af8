#include <gtest/gtest.h>

#include "InstallRules.h"

using namespace folvarek;

TEST(ProgramFolderAllowed, OnlyProgramFilesAndBelow) {
  const char* programFiles = "C:\\Program Files";
  struct Row {
    const char* chosen;
    bool allowed;
    // clang-format off
  } rows[] = {
      {"C:\\Program Files\\Folvarek", true}, {"c:\\program files\\Tools\\Folvarek\\", true},
      {"C:\\Program Files\\.\\Folvarek", true}, {"C:\\Program Files", true},
      {"C:\\Folvarek", false},  // inherits Modify for Authenticated Users
      {"C:\\Program Files (x86)\\Folvarek", false}, {"C:\\Program FilesX\\Folvarek", false},
      {"C:\\Program Files\\..\\Folvarek", false}, {"D:\\Program Files\\Folvarek", false}, {"", false},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(ProgramFolderAllowed(row.chosen, programFiles), row.allowed) << row.chosen;
  EXPECT_FALSE(ProgramFolderAllowed("C:\\Folvarek", ""));
}

TEST(NextSetupStep, WhatEachWindowsGets) {
  using Step = SetupStep;
  struct Row {
    const char* what;
    PrintSupport support;
    Step step;
    // clang-format off
  } rows[] = {
      {"Windows 11 with the driver", {22631, false, true, false}, Step::InstallPrintPath},
      {"protected print mode on", {26100, true, true, false}, Step::ProtectedPrintOn},
      {"protected print mode on, no driver", {26100, true, false, false}, Step::ProtectedPrintOn},
      {"Windows 10 1607 and Server 2016, the oldest supported, the feature turned off", {14393, false, false, false}, Step::TurnOnPdfFeature},
      {"turning it on did not bring the driver", {19045, false, false, true}, Step::NoPdfDriver},
      {"turned on, the driver there now", {19045, false, true, true}, Step::InstallPrintPath},
      {"Windows 10 1511, before the oldest supported, refused with the driver", {14392, false, true, false}, Step::WindowsTooOld},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(NextSetupStep(row.support), row.step) << row.what;
}
