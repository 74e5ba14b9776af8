// What the post-processing decides before it touches a file: the argument lines of the two outside
// tools, the settling delay after the security pass, and whether the security tool is needed at all.
// No <windows.h> here, so all of it is unit-tested natively as well as under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace folvarek {

// The security tool's argument line (`strArgs`), written by WritePdfencLine: input path (the job's
// PDF in the scratch folder), target path, the password as both user and owner password, the
// permission code as it is, the key length in bits, and Folvarek as Creator and Producer.
[[nodiscard]] std::string BuildPdfencArgs(std::string_view scratchFolder, std::string_view baseName,
                                          std::string_view extension, std::string_view targetPath,
                                          std::string_view password, std::string_view permissions, int keyBits);

// The stamp tool's line: the two staging files (in the user's own staging folder) unquoted unless
// their path holds a blank or a quote, the target quoted.
[[nodiscard]] std::string BuildStampingLine(std::string_view stagingFolder, std::string_view targetPath);

// Milliseconds to let a file settle when its writer cannot be watched: the size itself up to
// 3072 bytes, above that size / 2000 rounded half to even (4000 -> 2, 5000 -> 2, 7000 -> 4).
[[nodiscard]] std::int32_t WaitDelayFor(std::uint64_t jobPdfSize);

// Whether the security tool runs (else the job's PDF is copied as it is). Any of the three settings
// reading as a number other than 0 asks for it: for the stored "0"/"1" this is "their sum is above
// 0", and a stray negative value can no longer cancel out a restriction set by another one.
[[nodiscard]] bool NeedsSecurityPass(std::string_view allowCopy, std::string_view allowPrint,
                                     std::string_view askForPass);

}  // namespace folvarek
