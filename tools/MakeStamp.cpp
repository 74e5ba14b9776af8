// Writes the default background stamp (installed as Kestrix.dll): one A4 page, blank but for a
// small light-grey "Folvarek" centred at its foot. The stamp tool scales the page into each
// page's TrimBox, so on A4 and Letter the mark stays within the lowest 20 points (7 mm) of the
// page, below the margin any body text keeps. Plain PDF, written here so no outside asset is used.
//   make-stamp <output.pdf>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kMark = "Folvarek";
constexpr double kPageWidth = 595.276;  // A4 in points
constexpr double kPageHeight = 841.89;
constexpr double kFontSize = 8;
constexpr double kBaseline = 14;
constexpr double kGrey = 0.75;  // 0 is black, 1 white

// Advance widths of the mark's letters F o l v a r e k in Helvetica, per 1000 units of font
// size (from Adobe's font metrics), to centre the mark.
constexpr double kMarkWidths[] = {611, 556, 222, 500, 556, 333, 556, 500};
static_assert(std::size(kMarkWidths) == std::char_traits<char>::length(kMark));

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string MarkContent() {
  double width = 0;
  for (const double advance : kMarkWidths) {
    width += advance * kFontSize / 1000;
  }
  // Marked as a pagination artifact, so screen readers and text export can leave it out.
  return "/Artifact <</Type /Pagination /Subtype /Watermark>> BDC\n" + Number(kGrey) + " g\nBT\n/F1 " +
         Number(kFontSize) + " Tf\n" + Number((kPageWidth - width) / 2) + " " + Number(kBaseline) + " Td\n(" + kMark +
         ") Tj\nET\nEMC\n";
}

std::string StampPdf() {
  const std::string content = MarkContent();
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Number(kPageWidth) + " " + Number(kPageHeight) +
          "] /Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
      "<< /Title (Folvarek background stamp) /Creator (Folvarek) /Producer (Folvarek) >>",
  };
  std::ostringstream pdf;
  pdf << "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::streamoff> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.tellp());
    pdf << i + 1 << " 0 obj\n" << objects[i] << "\nendobj\n";
  }
  const std::streamoff xref = pdf.tellp();
  pdf << "xref\n0 " << objects.size() + 1 << "\n0000000000 65535 f \n";
  for (const std::streamoff offset : offsets) {
    char entry[24];
    std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(offset));
    pdf << entry;
  }
  pdf << "trailer\n<< /Size " << objects.size() + 1 << " /Root 1 0 R /Info 6 0 R >>\nstartxref\n"
      << xref << "\n%%EOF\n";
  return pdf.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make-stamp <output.pdf>\n";
    return 2;
  }
  const std::string pdf = StampPdf();
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(pdf.data(), static_cast<std::streamsize>(pdf.size()));
  out.close();
  if (!out) {
    std::cerr << "make-stamp: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
