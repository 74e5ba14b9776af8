// pdfenc: secures the job's PDF as saveprompt asks, with a password, permissions and the
// creator and producer names, writing the result to the target path.
//   pdfenc "<input>" "<output>" "<user password>" "<owner password>" <code> <bits>
//          Creator "<name>" Producer "<name>"
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include "PdfFiles.h"
#include "PdfencLine.h"
#include "StagedOutput.h"
#include "ToolSupport.h"

namespace folvarek::tools {
namespace {

PdfencLine ReadArguments(const std::vector<std::string>& args) {
  try {
    return ReadPdfencArguments(args);
  } catch (const PdfencLineError& e) {
    throw UsageError(e.what());
  }
}

// Whoever opens the file with the owner password may lift every restriction. An owner password
// that is empty, or the same as the user password, would hand that to every reader; a random one
// keeps the permissions in force.
std::string EffectiveOwnerPassword(const PdfencLine& request) {
  if (request.ownerPassword.empty() || request.ownerPassword == request.userPassword) {
    return RandomHex(16);
  }
  return request.ownerPassword;
}

// 40- and 128-bit encryption take passwords in PDFDocEncoding, which is what readers turn a typed
// password into. Nothing when a password has characters outside it.
bool EncodeForRc4Era(std::string& user, std::string& owner) {
  std::string encodedUser;
  std::string encodedOwner;
  if (!QUtil::utf8_to_pdf_doc(user, encodedUser) || !QUtil::utf8_to_pdf_doc(owner, encodedOwner)) {
    return false;
  }
  user = encodedUser;
  owner = encodedOwner;
  return true;
}

void SetEncryption(QPDFWriter& writer, const PdfencLine& request) {
  const PdfRights p = ReadPermissionCode(request.permissionCode).value();  // checked with the arguments
  std::string user = request.userPassword;
  std::string owner = EffectiveOwnerPassword(request);
  // A password with characters that 128-bit encryption cannot hold (Cyrillic, Greek, CJK) would
  // make the file impossible to open; AES-256 stores passwords as Unicode.
  const int bits = request.keyBits == 256 || !EncodeForRc4Era(user, owner) ? 256 : request.keyBits;
  const qpdf_r3_print_e print = p.print ? qpdf_r3p_full : p.lowResolutionPrint ? qpdf_r3p_low : qpdf_r3p_none;
  switch (bits) {
    case 40:
      writer.setR2EncryptionParametersInsecure(user.c_str(), owner.c_str(), print != qpdf_r3p_none, p.modify, p.extract,
                                               p.annotate);
      break;
    case 128:
      writer.setR4EncryptionParametersInsecure(user.c_str(), owner.c_str(), p.accessibility, p.extract, p.assemble,
                                               p.annotate, p.fillForms, p.modify, print,
                                               /*encrypt_metadata=*/true, /*use_aes=*/true);
      break;
    default:
      writer.setR6EncryptionParameters(user.c_str(), owner.c_str(), p.accessibility, p.extract, p.assemble, p.annotate,
                                       p.fillForms, p.modify, print, /*encrypt_metadata=*/true);
      break;
  }
}

void SetDocumentNames(QPDF& pdf, const std::string& creator, const std::string& producer) {
  QPDFObjectHandle trailer = pdf.getTrailer();
  QPDFObjectHandle info = trailer.getKey("/Info");
  if (!info.isDictionary()) {
    info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    trailer.replaceKey("/Info", info);
  }
  info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(creator));
  info.replaceKey("/Producer", QPDFObjectHandle::newUnicodeString(producer));
}

void Encrypt(const std::vector<std::string>& args) {
  const PdfencLine request = ReadArguments(args);
  StagedOutput output(request.output);
  {
    // The input is closed before the output replaces the target, which may be the input itself.
    const auto pdf = OpenPdf(request.input);
    SetDocumentNames(*pdf, request.creator, request.producer);
    QPDFWriter writer(*pdf);
    SetEncryption(writer, request);
    WritePdf(writer, *pdf, request.input, output);
  }
  output.Commit();
}

}  // namespace
}  // namespace folvarek::tools

int main(int argc, char** argv) { return folvarek::tools::RunTool("pdfenc", argc, argv, folvarek::tools::Encrypt); }
