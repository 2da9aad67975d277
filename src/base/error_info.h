// A failure reported by value: the runtime's error number and a description,
// as the program's message boxes show them ("75   <description>").
#pragma once

#include <string>

namespace orrivel {

inline constexpr int kErrOverflow = 6;
inline constexpr int kErrOutOfMemory = 7;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrDiskFull = 61;
inline constexpr int kErrPermissionDenied = 70;
inline constexpr int kErrDriveNotReady = 71;
inline constexpr int kErrPathFileAccess = 75;
inline constexpr int kErrPathNotFound = 76;

struct ErrorInfo {
  int number = 0;  // 0: no error
  std::string description;

  bool failed() const { return number != 0; }
};

// The runtime's own wording, for errors that have no system description.
std::string DefaultErrorDescription(int number);
inline ErrorInfo MakeError(int number) { return {number, DefaultErrorDescription(number)}; }

// "<number><spaces><description>": three spaces for settings failures,
// two for the movie window's.
std::string ErrorMessageText(const ErrorInfo& error, int spaces);

}  // namespace orrivel
