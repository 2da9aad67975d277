// One move-only owner for every kind of Win32 handle; the moved-from owner
// is empty, and an early return can never skip the release.
#pragma once

#include <windows.h>

#include <utility>

namespace orrivel::win32 {

template <typename H, typename Deleter, H kEmpty = H{}>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, kEmpty)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, kEmpty));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  H get() const { return handle_; }
  explicit operator bool() const { return handle_ != kEmpty; }
  H release() { return std::exchange(handle_, kEmpty); }
  void reset(H handle = kEmpty) {
    if (handle_ != kEmpty) Deleter{}(handle_);
    handle_ = handle;
  }

 private:
  H handle_ = kEmpty;
};

struct CloseHandleDeleter {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
struct FindCloseDeleter {
  void operator()(HANDLE h) const { FindClose(h); }
};
struct UnhookDeleter {
  void operator()(HHOOK h) const { UnhookWindowsHookEx(h); }
};
struct GdiObjectDeleter {
  void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct MemoryDcDeleter {
  void operator()(HDC h) const { DeleteDC(h); }
};
struct EnhMetaFileDeleter {
  void operator()(HENHMETAFILE h) const { DeleteEnhMetaFile(h); }
};
struct CursorDeleter {
  void operator()(HCURSOR h) const { DestroyCursor(h); }
};

// Kernel objects whose "none" is null (mutexes, events, threads).
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandleDeleter>;

// Files, whose "none" is INVALID_HANDLE_VALUE.
class UniqueFile {
 public:
  UniqueFile() = default;
  explicit UniqueFile(HANDLE h) : handle_(h) {}
  ~UniqueFile() { reset(); }
  UniqueFile(UniqueFile&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  UniqueFile& operator=(UniqueFile&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  UniqueFile(const UniqueFile&) = delete;
  UniqueFile& operator=(const UniqueFile&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Closes now and reports whether closing succeeded (a write's last chance
  // to fail).
  bool Close() {
    HANDLE h = std::exchange(handle_, INVALID_HANDLE_VALUE);
    return h == INVALID_HANDLE_VALUE || CloseHandle(h) != 0;
  }
  void reset() { Close(); }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace orrivel::win32
