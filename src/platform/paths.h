#pragma once
// Where the program itself lies on disk.
//
//   platform call                 here               implemented
//   GetModuleFileName (folder)    executableFolder   SDL's base path (the running executable's folder)

#include <string>

namespace platform {

// The folder of the running executable, symbolic links resolved, without a
// trailing separator; "" when it cannot be told.
std::string executableFolder();

}  // namespace platform
