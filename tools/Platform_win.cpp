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

#include "ToolSupport.h"

namespace folvarek::tools {

namespace {

std::wstring Widen(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) {
    return {};
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
  return narrow;
}

std::string ErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0) {
    return "error " + std::to_string(code);
  }
  std::wstring text(buffer, length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return Narrow(text);
}

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
    file_ = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size{};
    if (file_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(file_, &size) || size.QuadPart <= 0) {
      return;
    }
    mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping_ == nullptr) {
      return;
    }
    void* view = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
    if (view != nullptr) {
      contents_ = Buffer(static_cast<unsigned char*>(view), static_cast<std::size_t>(size.QuadPart));
    }
  }
  ~FileView() {
    if (contents_.getSize() > 0) {
      UnmapViewOfFile(contents_.getBuffer());
    }
    if (mapping_ != nullptr) {
      CloseHandle(mapping_);
    }
    if (file_ != INVALID_HANDLE_VALUE) {
      CloseHandle(file_);
    }
  }
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

 protected:
  Buffer contents_;

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
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
  const std::unique_ptr<wchar_t*, decltype(&LocalFree)> list(CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
  if (!list) {
    throw ToolError("cannot read the command line: " + ErrorText(GetLastError()));
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    arguments.push_back(Narrow(list.get()[i]));
  }
  return arguments;
}

std::optional<std::string> EnvironmentValue(const char* name) {
  const std::wstring wideName = Widen(name);
  // The size asked for counts the terminating NUL, so a set but empty variable gives 1.
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) {
    return std::nullopt;
  }
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  value.resize(length < size ? length : 0);
  return Narrow(value);
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
  const HANDLE handle =
      CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      reason = ErrorText(error);
    }
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    reason = "cannot attach the file to the C runtime";
    CloseHandle(handle);
    DeleteFileW(Widen(path).c_str());
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) {
    reason = "cannot attach the file to the C runtime";
    _close(fd);
    DeleteFileW(Widen(path).c_str());
  }
  return file;
}

std::string MoveOver(const std::string& from, const std::string& to) {
  if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return {};
  }
  return ErrorText(GetLastError());
}

void RemoveFile(const std::string& path) noexcept { DeleteFileW(Widen(path).c_str()); }

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
