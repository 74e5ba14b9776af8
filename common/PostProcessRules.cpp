#include "PostProcessRules.h"

#include "PdfencLine.h"
#include "SettingText.h"

namespace folvarek {

std::string BuildPdfencArgs(std::string_view scratchFolder, std::string_view baseName, std::string_view extension,
                            std::string_view targetPath, std::string_view password, std::string_view permissions,
                            int keyBits) {
  std::string input(scratchFolder);
  input += '\\';
  input += baseName;
  input += '.';
  input += extension;
  const std::string passwordText(password);
  return WritePdfencLine({input, std::string(targetPath), passwordText, passwordText, std::string(permissions), keyBits,
                          "Folvarek", "Folvarek"});
}

namespace {
// The staged files have never been quoted, but a user's folder may hold a space.
std::string StagedFileArgument(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += name;
  return path.find_first_of(" \t\"") == std::string::npos ? path : QuoteArgument(path);
}
}  // namespace

std::string BuildStampingLine(std::string_view stagingFolder, std::string_view targetPath) {
  std::string line = StagedFileArgument(stagingFolder, "\\temp.pdf");
  line += " background ";
  line += StagedFileArgument(stagingFolder, "\\stamp.pdf");
  line += " output ";
  line += QuoteArgument(targetPath);
  return line;
}

std::int32_t WaitDelayFor(std::uint64_t jobPdfSize) {
  if (jobPdfSize <= 3072) return static_cast<std::int32_t>(jobPdfSize);
  return RoundHalfEven(static_cast<double>(jobPdfSize) / 2000.0);
}

bool NeedsSecurityPass(std::string_view allowCopy, std::string_view allowPrint, std::string_view askForPass) {
  return ReadNumber(allowCopy) != 0.0 || ReadNumber(allowPrint) != 0.0 || ReadNumber(askForPass) != 0.0;
}

}  // namespace folvarek
