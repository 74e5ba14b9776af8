// Owners of the Windows resources the programs hold: each is closed exactly once, on every path,
// by the function Windows pairs with its kind. Move-only; one line per kind.
#pragma once

#include <windows.h>
#include <winspool.h>
#include <objbase.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <cstdint>
#include <utility>

namespace win {

// `Close` releases a `T`; `Empty` is the value that holds nothing (0 for most kinds, -1 for the
// handles CreateFile and FindFirstFile fail with).
template <typename T, auto Close, std::intptr_t Empty = 0>
class Unique {
 public:
  Unique() noexcept = default;
  explicit Unique(T value) noexcept : value_(value) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Unique() { reset(); }

  [[nodiscard]] T get() const noexcept { return value_; }
  [[nodiscard]] explicit operator bool() const noexcept { return value_ != None(); }
  // For calls that hand back a new resource through a pointer: the old one is released first.
  [[nodiscard]] T* put() noexcept {
    reset();
    return &value_;
  }
  [[nodiscard]] T release() noexcept { return std::exchange(value_, None()); }
  void reset(T value = None()) noexcept {
    if (value_ != None()) Close(value_);
    value_ = value;
  }

 private:
  static T None() noexcept { return reinterpret_cast<T>(Empty); }
  T value_ = None();
};

using UniqueHandle = Unique<HANDLE, &CloseHandle>;  // processes, threads, events, mappings
using UniqueToken = Unique<HANDLE, &CloseHandle>;   // access tokens
using UniqueFile = Unique<HANDLE, &CloseHandle, -1>;
using UniqueFind = Unique<HANDLE, &FindClose, -1>;
using UniqueChangeWatch = Unique<HANDLE, &FindCloseChangeNotification, -1>;  // FindFirstChangeNotification's
using UniqueHKey = Unique<HKEY, &RegCloseKey>;
using UniquePrinter = Unique<HANDLE, &ClosePrinter>;
using UniqueEventSource = Unique<HANDLE, &DeregisterEventSource>;
using UniqueService = Unique<SC_HANDLE, &CloseServiceHandle>;  // the service manager and its services
using UniqueFont = Unique<HFONT, &DeleteObject>;               // GDI objects: a line per kind a program holds
using UniqueHook = Unique<HHOOK, &UnhookWindowsHookEx>;
using UniqueView = Unique<const void*, &UnmapViewOfFile>;         // a file mapped into memory
using UniqueEnvironment = Unique<void*, &DestroyEnvironmentBlock>;  // CreateEnvironmentBlock's block
template <typename T>
using UniqueWtsMemory = Unique<T*, &WTSFreeMemory>;  // what the terminal services calls allocated
template <typename T>
using UniqueLocal = Unique<T*, &LocalFree>;  // what the system allocated with LocalAlloc for the caller
template <typename T>
using UniqueCoTaskMem = Unique<T*, &CoTaskMemFree>;  // what the shell and COM allocated for the caller

// A window's device context from GetDC, given back to that window.
class WindowDC {
 public:
  explicit WindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  [[nodiscard]] HDC get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace win
