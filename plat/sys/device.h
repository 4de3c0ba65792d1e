// Device identity queries: the system version record, the word size of the
// running system, the network adapter address (through a small NetBIOS
// command block) and the processor identification instruction.
//
// On Linux there is no Windows version: GetVersionEx reports version 0.0.
// IsWow64Process answers whether the running system is 64-bit (the case in
// which a 32-bit Windows program would run under WOW64). The first "adapter"
// is the first non-loopback network interface with a hardware address, in
// order of interface name; when there is none, NCBASTAT leaves its buffer
// untouched (callers zero it first, which gives six zero bytes).
#pragma once

#include "plat/sys/wintypes.h"

namespace plat {

// ---------------------------------------------------------------------------
// System version

// OSVERSIONINFOEXW with Win32's field names. dwOSVersionInfoSize must be
// sizeof(OSVERSIONINFOEXW) or sizeof(OSVERSIONINFOW) before the call.
struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};

// Fills the record. Here the major, minor and build numbers, the platform id
// and the service pack fields are 0 and szCSDVersion is empty (no Windows
// version exists). Returns FALSE with ERROR_INVALID_PARAMETER when the record
// is null or its size field is neither of the two record sizes; the record
// is then left unchanged.
BOOL GetVersionEx(OSVERSIONINFOEXW* lpVersionInformation);
BOOL GetVersionEx(OSVERSIONINFOW* lpVersionInformation);

// ---------------------------------------------------------------------------
// Word size

// The pseudo handle that stands for the calling process (Win32's
// GetCurrentProcess value, all bits set).
inline HANDLE const CURRENT_PROCESS_HANDLE = reinterpret_cast<HANDLE>(~uintptr_t(0));

// Sets *Wow64Process to TRUE when the running system is 64-bit and FALSE when
// it is 32-bit; returns TRUE. hProcess must be CURRENT_PROCESS_HANDLE:
// any other handle, or a null flag pointer, gives FALSE with
// ERROR_INVALID_HANDLE or ERROR_INVALID_PARAMETER and leaves the flag alone.
BOOL IsWow64Process(HANDLE hProcess, BOOL* Wow64Process);

// ---------------------------------------------------------------------------
// Network adapter (NetBIOS command block)

using UCHAR = unsigned char;
using PUCHAR = unsigned char*;

constexpr int NCBNAMSZ = 16;
constexpr int MAX_LANA = 254;

// Commands.
constexpr UCHAR NCBRESET = 0x32;
constexpr UCHAR NCBASTAT = 0x33;
constexpr UCHAR NCBENUM = 0x37;

// Return codes (ncb_retcode and the result of Netbios).
constexpr UCHAR NRC_GOODRET = 0x00;
constexpr UCHAR NRC_BUFLEN = 0x01;
constexpr UCHAR NRC_ILLCMD = 0x03;
constexpr UCHAR NRC_INCOMP = 0x06;
constexpr UCHAR NRC_NOWILD = 0x15;
constexpr UCHAR NRC_BRIDGE = 0x23;

struct NCB {
    UCHAR ncb_command;
    UCHAR ncb_retcode;
    UCHAR ncb_lsn;
    UCHAR ncb_num;
    PUCHAR ncb_buffer;
    WORD ncb_length;
    UCHAR ncb_callname[NCBNAMSZ];
    UCHAR ncb_name[NCBNAMSZ];
    UCHAR ncb_rto;
    UCHAR ncb_sto;
    void (*ncb_post)(NCB*);
    UCHAR ncb_lana_num;
    UCHAR ncb_cmd_cplt;
    UCHAR ncb_reserve[18];
    HANDLE ncb_event;
};
using PNCB = NCB*;

// The adapter numbers (NCBENUM): length entries of lana.
struct LANA_ENUM {
    UCHAR length;
    UCHAR lana[MAX_LANA + 1];
};

// The adapter status (NCBASTAT), 60 bytes; only adapter_address is filled
// here, every other field is 0.
struct ADAPTER_STATUS {
    UCHAR adapter_address[6];
    UCHAR rev_major;
    UCHAR reserved0;
    UCHAR adapter_type;
    UCHAR rev_minor;
    WORD duration;
    WORD frmr_recv;
    WORD frmr_xmit;
    WORD iframe_recv_err;
    WORD xmit_aborts;
    DWORD xmit_success;
    DWORD recv_success;
    WORD iframe_xmit_err;
    WORD recv_buff_unavail;
    WORD t1_timeouts;
    WORD ti_timeouts;
    DWORD reserved1;
    WORD free_ncbs;
    WORD max_cfg_ncbs;
    WORD max_ncbs;
    WORD xmit_buf_unavail;
    WORD max_dgram_size;
    WORD pending_sess;
    WORD max_cfg_sess;
    WORD max_sess;
    WORD max_sess_pkt_size;
    WORD name_count;
};

// Runs one command synchronously and returns its code (also stored in
// ncb_retcode and ncb_cmd_cplt). Supported commands:
// - NCBENUM: fills the LANA_ENUM at ncb_buffer (ncb_length bytes, at least
//   1) with adapter numbers 0..n-1, one per network interface that is not
//   the loopback and has a 6-byte hardware address, in order of interface
//   name. Too small a buffer lists as many as fit and gives NRC_BUFLEN.
// - NCBRESET: accepts an existing ncb_lana_num (NRC_GOODRET), else
//   NRC_BRIDGE.
// - NCBASTAT: with ncb_callname "*" (rest of the name ignored) writes the
//   ADAPTER_STATUS of adapter ncb_lana_num into ncb_buffer: as many bytes as
//   ncb_length allows (NRC_INCOMP when fewer than 60), and sets ncb_length to
//   the bytes written. An unknown adapter gives NRC_BRIDGE and writes
//   nothing; a call name other than "*" gives NRC_NOWILD.
// Any other command gives NRC_ILLCMD; a null block gives NRC_ILLCMD; a null
// buffer with a non-zero length gives NRC_BUFLEN.
UCHAR Netbios(PNCB pcnb);

// ---------------------------------------------------------------------------
// Processor identification

// Executes the processor identification instruction with the given function
// number and stores EAX, EBX, ECX and EDX in cpuInfo[0..3]. On a processor
// without the instruction (or a function above the highest one it supports)
// all four are 0.
void Cpuid(int cpuInfo[4], int functionId);

} // namespace plat
