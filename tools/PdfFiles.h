// Reading and writing the PDFs the tools work on, with one clear message for each way it fails.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include "StagedOutput.h"

namespace folvarek::tools {

// Opens a PDF, decrypting it with `password` when it is encrypted. A password typed as UTF-8
// also opens files whose password was stored in another encoding (PDFDocEncoding, Windows-1252).
// `passwordOrigin` names where the password came from, for the message when it does not fit.
// Throws ToolError when the file is missing, unreadable, not a PDF or damaged.
[[nodiscard]] std::unique_ptr<QPDF> OpenPdf(const std::string& path, const std::string& password = {},
                                            std::string_view passwordOrigin = {});

// Throws ToolError when reading `pdf` (from `path`) met damage that qpdf repaired or skipped:
// a repaired file may have lost pages or content, so it is not passed on as if it were intact.
void RequireIntact(QPDF& pdf, const std::string& path);

// Writes `pdf`, read from `source`, into the staged output with `writer`; the caller commits.
void WritePdf(QPDFWriter& writer, QPDF& pdf, const std::string& source, StagedOutput& output);

}  // namespace folvarek::tools
