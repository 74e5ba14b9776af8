// The job's message texts and titles, word for word as users and support documents know them.
#pragma once

namespace JobMessages {

inline constexpr char kProgramTitle[] = "Folvarek  [Options]";
inline constexpr char kFailureTitle[] = "Folvarek - Options";
inline constexpr char kJobWindowTitle[] = "Folvarek Options";

// Follows the path of the existing file.
inline constexpr char kAlreadyExists[] = " already exists\r\nDo you want to over write ?";
inline constexpr char kCannotOverwrite[] = "Cannot over write file !\r\nPlease specify different name";
// Followed by the failure's description.
inline constexpr char kCouldNotWrite[] =
    "Folvarek could not write the file on the specified path due to follwing error\r\n";
// Around the path a job saved without asking could not be saved to and the reason, its closing
// period dropped.
inline constexpr char kCouldNotSaveTo[] = "Folvarek could not save to ";
inline constexpr char kChooseWhere[] = ". Choose where to save it.";
inline constexpr char kNoPdfFile[] = "No PDF File. Printing will abort";
inline constexpr char kPasswordsDiffer[] = "Passwords do not match. Please check and try again!";
inline constexpr char kReaderNotInstalled[] =
    "Unable to open the pdf files because Adobe Acrobat reader is not installed on your system\r\n"
    "Do You want to download Adobe Acrobat reader";
inline constexpr char kFileNotOnTempPath[] =
    "Could not open file due to this error \r\nFile does not exit on temp path";

}  // namespace JobMessages
