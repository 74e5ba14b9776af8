#include "PdfFiles.h"

#include <cstring>
#include <vector>

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QUtil.hh>

#include "Platform.h"
#include "ToolSupport.h"

namespace folvarek::tools {

namespace {

[[noreturn]] void FailDamaged(const std::string& path, const QPDFExc& e) {
  throw ToolError(Quoted(path) + " is not a PDF file or is damaged: " + e.getMessageDetail());
}

std::unique_ptr<QPDF> OpenOnce(const std::string& path, const std::string& password) {
  auto pdf = std::make_unique<QPDF>();
  // Warnings are collected and judged by RequireIntact instead of being printed.
  pdf->setSuppressWarnings(true);
  pdf->processInputSource(OpenInput(path), password.c_str());
  return pdf;
}

}  // namespace

std::unique_ptr<QPDF> OpenPdf(const std::string& path, const std::string& password, std::string_view passwordOrigin) {
  std::unique_ptr<QPDF> pdf;
  try {
    try {
      pdf = OpenOnce(path, password);
    } catch (const QPDFExc& e) {
      if (e.getErrorCode() != qpdf_e_password) {
        throw;
      }
      // The first candidate is the password itself, already tried.
      const std::vector<std::string> candidates = QUtil::possible_repaired_encodings(password);
      for (std::size_t i = 1; i < candidates.size() && !pdf; ++i) {
        try {
          pdf = OpenOnce(path, candidates[i]);
        } catch (const QPDFExc& retry) {
          if (retry.getErrorCode() != qpdf_e_password) {
            throw;
          }
        }
      }
      if (!pdf) {
        throw ToolError(Quoted(path) + " is encrypted and " +
                        (passwordOrigin.empty()
                             ? std::string("needs a password")
                             : "the password in " + std::string(passwordOrigin) + " does not open it"));
      }
    }
  } catch (const QPDFSystemError& e) {
    throw ToolError("cannot read " + Quoted(path) + ": " + std::strerror(e.getErrno()));
  } catch (const QPDFExc& e) {
    FailDamaged(path, e);
  }
  RequireIntact(*pdf, path);
  return pdf;
}

void RequireIntact(QPDF& pdf, const std::string& path) {
  if (pdf.anyWarnings()) {
    FailDamaged(path, pdf.getWarnings().front());
  }
}

void WritePdf(QPDFWriter& writer, QPDF& pdf, const std::string& source, StagedOutput& output) {
  writer.setOutputFile(output.StagedPath().c_str(), output.File(), false);
  try {
    writer.write();
  } catch (const QPDFSystemError& e) {
    throw ToolError("cannot write " + Quoted(output.Target()) + ": " + std::strerror(e.getErrno()));
  } catch (const QPDFExc& e) {
    FailDamaged(source, e);
  }
  RequireIntact(pdf, source);
}

}  // namespace folvarek::tools
