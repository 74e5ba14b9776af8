#include "InstallRules.h"

#include <string>
#include <vector>

namespace folvarek {

namespace {

// The folder's steps, lowered; nothing when a step leaves the folder ("..") or is empty.
std::vector<std::string> Steps(std::string_view path) {
  std::vector<std::string> steps;
  std::string step;
  const auto close = [&]() {
    if (!step.empty() && step != ".") steps.push_back(step);
    step.clear();
  };
  for (char c : path) {
    if (c == '\\' || c == '/') {
      close();
    } else {
      step += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  close();
  return steps;
}

bool HasParentStep(const std::vector<std::string>& steps) {
  for (const auto& s : steps) {
    if (s == "..") return true;
  }
  return false;
}

}  // namespace

bool ProgramFolderAllowed(std::string_view chosen, std::string_view programFiles) {
  const auto folder = Steps(chosen);
  const auto root = Steps(programFiles);
  if (root.empty() || HasParentStep(folder) || folder.size() < root.size()) return false;
  for (std::size_t i = 0; i < root.size(); ++i) {
    if (folder[i] != root[i]) return false;
  }
  return true;
}

bool WindowsSupported(unsigned build) { return build >= kOldestWindowsBuild; }

SetupStep NextSetupStep(const PrintSupport& support) {
  if (!WindowsSupported(support.build)) return SetupStep::WindowsTooOld;
  if (support.protectedPrint) return SetupStep::ProtectedPrintOn;
  if (support.pdfDriver) return SetupStep::InstallPrintPath;
  // Every supported Windows has the driver as an optional feature.
  if (!support.featureTried) return SetupStep::TurnOnPdfFeature;
  return SetupStep::NoPdfDriver;
}

}  // namespace folvarek
