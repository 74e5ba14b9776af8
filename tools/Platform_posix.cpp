#include "Platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <stdexcept>

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <qpdf/FileInputSource.hh>
#include <qpdf/QUtil.hh>
#include <qpdf/RandomDataProvider.hh>

namespace folvarek::tools {

namespace {

class SystemRandom final : public RandomDataProvider {
 public:
  void provideRandomData(unsigned char* data, size_t len) override {
    while (len > 0) {
      const ssize_t got = ::getrandom(data, len, 0);
      if (got < 0 && errno != EINTR) {
        throw std::runtime_error(std::string("the system's random number generator failed: ") + std::strerror(errno));
      }
      if (got > 0) {
        data += got;
        len -= static_cast<size_t>(got);
      }
    }
  }
};

}  // namespace

std::vector<std::string> CommandArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::optional<std::string> EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

std::shared_ptr<InputSource> OpenInput(const std::string& path) {
  return std::make_shared<FileInputSource>(path.c_str());
}

std::FILE* CreateNewFile(const std::string& path, std::string& reason) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno != EEXIST) {
      reason = std::strerror(errno);
    }
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    reason = std::strerror(errno);
    ::close(fd);
    ::unlink(path.c_str());
  }
  return file;
}

std::string MoveOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? std::string() : std::strerror(errno);
}

void RemoveFile(const std::string& path) noexcept { ::unlink(path.c_str()); }

void UseSystemRandom() {
  static SystemRandom source;
  QUtil::setRandomDataProvider(&source);
}

}  // namespace folvarek::tools
