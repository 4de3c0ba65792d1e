// What the demo packages share on their command line: how switches
// compare, and words for the Win32 error codes in their messages on stderr.
#pragma once

#include <cctype>
#include <string>

#include "plat/sys/files.h"
#include "plat/sys/registry.h"

namespace demo {

// Switches ("/S", "/q") compare without regard to case, as Windows programs
// take them.
inline bool SameSwitch(const char* argument, const char* option) {
    for (; *argument != '\0' && *option != '\0'; ++argument, ++option) {
        if (std::tolower(static_cast<unsigned char>(*argument)) !=
            std::tolower(static_cast<unsigned char>(*option)))
            return false;
    }
    return *argument == *option;
}

// "access denied (error 5)" and the like; unknown codes give "error N".
inline std::string ErrorText(plat::DWORD code) {
    using namespace plat; // the error codes, unqualified on both systems
    const char* words = nullptr;
    switch (plat::LONG(code)) {
    case ERROR_FILE_NOT_FOUND:
        words = "not found";
        break;
    case ERROR_PATH_NOT_FOUND:
        words = "a folder on the path is missing or not a folder";
        break;
    case ERROR_ACCESS_DENIED:
        words = "access denied";
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        words = "disk full or file size limit reached";
        break;
    case ERROR_WRITE_FAULT:
        words = "write failed";
        break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        words = "already exists";
        break;
    case ERROR_NOT_SAME_DEVICE:
        words = "on another file system";
        break;
    case ERROR_REGISTRY_CORRUPT:
        words = "the registry store is not a valid database";
        break;
    case ERROR_REGISTRY_IO_FAILED:
        words = "the registry store could not be read or written";
        break;
    default:
        return "error " + std::to_string(code);
    }
    return std::string(words) + " (error " + std::to_string(code) + ")";
}

} // namespace demo
