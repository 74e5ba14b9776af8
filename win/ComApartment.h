// COM in a single-threaded apartment on this thread for as long as the object lives, which the
// shell's execute operation and the common dialogs expect on a window thread.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace win {

class ComApartment {
 public:
  explicit ComApartment(DWORD flags = COINIT_APARTMENTTHREADED) : joined_(SUCCEEDED(CoInitializeEx(nullptr, flags))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (joined_) CoUninitialize();
  }

 private:
  bool joined_;
};

}  // namespace win
