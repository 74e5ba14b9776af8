// Move-only owner of a registry key or connection handle: closed exactly once, on every path.
#pragma once

#include <windows.h>

#include <utility>

class UniqueHKey {
 public:
  UniqueHKey() = default;
  explicit UniqueHKey(HKEY key) noexcept : key_(key) {}
  UniqueHKey(const UniqueHKey&) = delete;
  UniqueHKey& operator=(const UniqueHKey&) = delete;
  UniqueHKey(UniqueHKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  UniqueHKey& operator=(UniqueHKey&& other) noexcept {
    if (this != &other) reset(std::exchange(other.key_, nullptr));
    return *this;
  }
  ~UniqueHKey() { reset(); }

  [[nodiscard]] HKEY get() const noexcept { return key_; }
  [[nodiscard]] explicit operator bool() const noexcept { return key_ != nullptr; }
  // For calls that hand back a new key: releases the old one first.
  [[nodiscard]] HKEY* put() noexcept {
    reset();
    return &key_;
  }
  void reset(HKEY key = nullptr) noexcept {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = key;
  }

 private:
  HKEY key_ = nullptr;
};
