// The installer's process-wide values shared by the entry point, the windows
// and the install engine, and InitInstallContext which fills them once on the
// main thread before the first window is created.
//
// The values are plain globals without a lock: each is written on one thread
// at a time (see each comment), and readers on other threads read them only
// after the writer has finished with them.
#pragma once

#include <string>

// 1 when the user chose to install (start window), 0 to quit. Read by the
// entry point.
extern int g_installState;
// The last message dialog button: 0 confirmed, 1 declined, 2 closed.
extern int g_dialogResult;
// The folder the product is installed under: Program Files at start,
// replaced by ChooseFolder.
extern std::wstring g_installFolder;
// Full path of the installer's own executable.
extern std::wstring g_modulePath;
// The user's temporary folder, ending in the path separator.
extern std::wstring g_tempFolder;
// The installer's own product version ("1.0.0.1" when it has none).
extern std::wstring g_version;
// The distribution channel from the installer's file name ("10001" default).
extern std::wstring g_channel;
// The install configuration request URL.
extern std::wstring g_configUrl;
// 1 when .NET Framework 4 (Full or Client profile) is installed, else 0.
extern int g_dotNetInstalled;
// The licence clause page on the product web site.
extern std::wstring g_clauseUrl;
// The installed product's executable. The install engine writes it on the
// worker thread and the finish window reads it on the UI thread: both go
// through SetProductExePath / ProductExePath, which order the read after the
// write whatever ended the install window.
extern std::wstring g_productExePath;
// The volume (mount point) of g_installFolder (written by the start window).
extern std::wstring g_installDrive;
// Bytes free on g_installDrive (written by the start window).
extern double g_freeBytes;
// FormatSize(g_freeBytes) (written by the start window).
extern std::wstring g_freeSpaceText;

// The hand-over of g_productExePath between threads (one lock for both).
void SetProductExePath(const std::wstring& path);
std::wstring ProductExePath();

// Fills the globals, in this order: state and dialog result 0, install
// folder, module path, temporary folder (created, one level, when missing),
// version, channel, configuration URL, .NET presence. Never fails: a value
// the platform cannot give stays empty (or at its default).
void InitInstallContext();

// The temporary-folder step of InitInstallContext: when nothing exists at
// `folder` (and it is not empty), creates it, one level only; a failure is
// ignored (the downloads then fail and the MD5 checks skip the packages).
void EnsureTempFolder(const std::wstring& folder);

// The channel carried by an installer file name: the text after the first
// '_' up to the next '_', or else up to the first '.', or else to the end.
// Returns "10001" when the name has no '_' or that text is empty.
std::wstring ChannelFromFileName(const std::wstring& fileName);

// The install configuration URL for a version and channel, each
// percent-encoded (everything but A-Z a-z 0-9 - . _ ~) into its path segment.
std::wstring MakeConfigUrl(const std::wstring& version, const std::wstring& channel);

// The product web API and web site base URLs this build talks to (no
// trailing slash).
std::wstring ProductApiBaseUrl();
std::wstring ProductWebBaseUrl();
