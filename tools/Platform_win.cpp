#include "Platform.h"

#include <memory>
#include <new>
#include <string_view>

#include <windows.h>
#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/FileInputSource.hh>
#include <qpdf/QUtil.hh>
#include <qpdf/RandomDataProvider.hh>

#include "Text.h"
#include "ToolSupport.h"
#include "Unique.h"

namespace folvarek::tools {

namespace {

class SystemRandom final : public RandomDataProvider {
 public:
  void provideRandomData(unsigned char* data, size_t len) override {
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, data, static_cast<ULONG>(len), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      throw std::runtime_error("the system's random number generator failed");
    }
  }
};

// A whole file mapped read-only into memory. Empty (no data) when it cannot be mapped.
class FileView {
 public:
  explicit FileView(const std::string& path) {
    file_.reset(CreateFileW(win::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file_ || !GetFileSizeEx(file_.get(), &size) || size.QuadPart <= 0) {
      return;
    }
    mapping_.reset(CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) {
      return;
    }
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (view_) {
      contents_ = Buffer(static_cast<unsigned char*>(const_cast<void*>(view_.get())),
                         static_cast<std::size_t>(size.QuadPart));
    }
  }
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

 protected:
  Buffer contents_;

 private:
  win::UniqueFile file_;
  win::UniqueHandle mapping_;  // closed before the file
  win::UniqueView view_;       // unmapped before both
};

// qpdf reading a file through the C runtime seeks it for nearly every object it reads, and under
// Wine each seek is a system call; from a mapped file it reads memory. The view is a base so it
// is made before, and unmapped after, the source reading it.
class MappedInput final : private FileView, public BufferInputSource {
 public:
  explicit MappedInput(const std::string& path)
      : FileView(path), BufferInputSource(path, &contents_, /*own_memory=*/false) {}

  [[nodiscard]] bool Mapped() const { return contents_.getSize() > 0; }
};

}  // namespace

std::vector<std::string> CommandArguments(int, char**) {
  int count = 0;
  const win::UniqueLocal<wchar_t*> list(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!list) {
    throw ToolError("cannot read the command line: " + win::Utf8(win::ErrorText(GetLastError())));
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    arguments.push_back(win::Utf8(list.get()[i]));
  }
  return arguments;
}

std::optional<std::string> EnvironmentValue(const char* name) {
  const std::wstring wideName = win::Wide(name);
  const std::optional<std::wstring> value = win::FetchString(
      [&](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(wideName.c_str(), buffer, size); });
  if (!value) return std::nullopt;
  return win::Utf8(*value);
}

std::shared_ptr<InputSource> OpenInput(const std::string& path) {
  auto input = std::make_shared<MappedInput>(path);
  if (input->Mapped()) {
    return input;
  }
  // An empty file cannot be mapped; this one, or one that cannot be opened, is read as before,
  // so it fails with the same message.
  return std::make_shared<FileInputSource>(path.c_str());
}

std::FILE* CreateNewFile(const std::string& path, std::string& reason) {
  win::UniqueFile handle(
      CreateFileW(win::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      reason = win::Utf8(win::ErrorText(error));
    }
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    reason = "cannot attach the file to the C runtime";
    handle.reset();
    DeleteFileW(win::Wide(path).c_str());
    return nullptr;
  }
  (void)handle.release();  // the descriptor owns it now
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) {
    reason = "cannot attach the file to the C runtime";
    _close(fd);
    DeleteFileW(win::Wide(path).c_str());
  }
  return file;
}

std::string MoveOver(const std::string& from, const std::string& to) {
  if (MoveFileExW(win::Wide(from).c_str(), win::Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return {};
  }
  return win::Utf8(win::ErrorText(GetLastError()));
}

void RemoveFile(const std::string& path) noexcept { DeleteFileW(win::Wide(path).c_str()); }

void UseSystemRandom() {
  static SystemRandom source;
  QUtil::setRandomDataProvider(&source);
}

}  // namespace folvarek::tools

// The C++ allocations (nearly all of qpdf's) come from a heap of the tools' own, created 64 MB
// large. Wine's default heaps give memory back and take it again in 64 KB steps while qpdf
// allocates and frees its objects, two system calls each time, which took a fifth of pdfenc's
// time under Wine. The heap's pages are only committed; memory backs them as they are touched.
namespace {

HANDLE ToolHeap() {
  static const HANDLE heap = [] {
    const HANDLE own = HeapCreate(0, 64 << 20, 0);
    return own != nullptr ? own : GetProcessHeap();
  }();
  return heap;
}

}  // namespace

void* operator new(std::size_t size) {
  void* block = HeapAlloc(ToolHeap(), 0, size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* block) noexcept {
  if (block != nullptr) {
    HeapFree(ToolHeap(), 0, block);
  }
}

void operator delete[](void* block) noexcept { ::operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { ::operator delete(block); }
