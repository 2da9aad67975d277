#include "base/error_info.h"

namespace orrivel {

std::string DefaultErrorDescription(int number) {
  switch (number) {
    case kErrOverflow:
      return "Overflow";
    case kErrOutOfMemory:
      return "Out of memory";
    case kErrTypeMismatch:
      return "Type mismatch";
    case kErrFileNotFound:
      return "File not found";
    case kErrDiskFull:
      return "Disk full";
    case kErrPermissionDenied:
      return "Permission denied";
    case kErrDriveNotReady:
      return "Disk not ready";
    case kErrPathFileAccess:
      return "Path/File access error";
    case kErrPathNotFound:
      return "Path not found";
    default:
      return "Application-defined or object-defined error";
  }
}

std::string ErrorMessageText(const ErrorInfo& error, int spaces) {
  std::string text = std::to_string(error.number);
  text.append(spaces > 0 ? static_cast<size_t>(spaces) : 0, ' ');
  text.append(error.description);
  return text;
}

}  // namespace orrivel
