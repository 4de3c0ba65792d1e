// libcurl, loaded when the first transfer needs it rather than when the
// program starts: its library and the three dozen it depends on (TLS,
// Kerberos, LDAP, SSH...) cost a program start tens of milliseconds, and a
// window has no use for them before the first transfer.
//
// Every transfer (net's fetches and downloads, the statistics client) goes
// through the table Curl() returns. When the library cannot be loaded or
// initialised, Curl() returns null and each transfer fails at once the way it
// fails when libcurl cannot make a handle (CURLE_FAILED_INIT, false).
#pragma once

#include <string>

#include <curl/curl.h>

// The libcurl functions this program uses.
struct CurlApi {
    CURLcode (*global_init)(long flags);
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...);
    CURLcode (*easy_perform)(CURL* handle);
    void (*easy_cleanup)(CURL* handle);
};

// The libcurl shared object loaded by default (libcurl's ABI 4).
extern const char* const kCurlLibraryFile;

// The loaded and globally initialised library; null when it cannot be had.
// The first call loads it (on whichever thread transfers first; callers on
// other threads wait for that load); a failure is remembered, so later
// transfers fail without trying again. Thread-safe.
const CurlApi* Curl();

// Test hook: the shared object the next Curl() call loads from now on (an
// empty name restores kCurlLibraryFile). A name that cannot be loaded makes
// every later transfer fail as on a machine without libcurl. A library
// loaded before stays loaded, as transfers under way may still be using it.
void SetCurlLibraryFile(const std::string& file);
