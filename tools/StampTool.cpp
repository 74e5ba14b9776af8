// The stamp tool (installed as Kestrix.tlb, run as Kestrix.exe): lays page 1 of a stamp PDF under
// every page of a PDF, fitted into each page's TrimBox and upright as the page is shown.
//   Kestrix <input> background <stamp> output "<output>"
// An encrypted input is opened with the password in FOLVAREK_PDF_PASSWORD (empty when unset)
// and keeps its encryption, permissions included.
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "PdfFiles.h"
#include "Platform.h"
#include "StagedOutput.h"
#include "ToolSupport.h"

namespace folvarek::tools {
namespace {

constexpr const char* kPasswordVariable = "FOLVAREK_PDF_PASSWORD";

struct StampRequest {
  std::string input;
  std::string stamp;
  std::string output;
};

StampRequest ReadArguments(const std::vector<std::string>& args) {
  if (args.size() != 5 || args[1] != "background" || args[3] != "output") {
    throw UsageError("wrong arguments: expected <input> background <stamp> output \"<output>\"");
  }
  return {args[0], args[2], args[4]};
}

// Draws `stampPage` first on every page of `pdf`, so the page's own content covers it. Each page
// keeps its content, boxes and rotation; the stamp goes into the TrimBox and, through the inverse
// of the page's /Rotate, stands upright for the reader.
void LayUnderEveryPage(QPDF& pdf, QPDFPageObjectHelper& stampPage) {
  const QPDFObjectHandle stamp = pdf.copyForeignObject(stampPage.getFormXObjectForPage());
  for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
    // The page's own resources (a copy when they are inherited or shared), so the new name
    // cannot clash with a name another page uses.
    QPDFObjectHandle resources = page.getAttribute("/Resources", true);
    if (!resources.isDictionary()) {
      resources = QPDFObjectHandle::newDictionary();
      page.getObjectHandle().replaceKey("/Resources", resources);
    }
    int suffix = 1;
    const std::string name = resources.getUniqueResourceName("/Fx", suffix);
    const std::string placement = page.placeFormXObject(stamp, name, page.getTrimBox().getArrayAsRectangle(),
                                                        /*invert_transformations=*/true,
                                                        /*allow_shrink=*/true, /*allow_expand=*/true);
    if (placement.empty()) {
      continue;  // an empty TrimBox has no room for the stamp
    }
    if (!resources.getKey("/XObject").isDictionary()) {
      resources.replaceKey("/XObject", QPDFObjectHandle::newDictionary());
    }
    resources.getKey("/XObject").replaceKey(name, stamp);
    page.addPageContents(pdf.newStream(placement), /*first=*/true);
  }
}

void Stamp(const std::vector<std::string>& args) {
  const StampRequest request = ReadArguments(args);
  StagedOutput output(request.output);
  {
    // Both inputs are closed before the output replaces the target.
    const auto stampPdf = OpenPdf(request.stamp);
    std::vector<QPDFPageObjectHelper> stampPages = QPDFPageDocumentHelper(*stampPdf).getAllPages();
    if (stampPages.empty()) {
      throw ToolError(Quoted(request.stamp) + " has no page to lay under the document");
    }
    const auto pdf = OpenPdf(request.input, EnvironmentValue(kPasswordVariable).value_or(""), kPasswordVariable);
    LayUnderEveryPage(*pdf, stampPages.front());
    QPDFWriter writer(*pdf);  // keeps the input's encryption
    WritePdf(writer, *pdf, request.input, output);
    RequireIntact(*stampPdf, request.stamp);
  }
  output.Commit();
}

}  // namespace
}  // namespace folvarek::tools

int main(int argc, char** argv) { return folvarek::tools::RunTool("Kestrix", argc, argv, folvarek::tools::Stamp); }
