// Sealing of report documents: AES in CFB mode with 128-bit feedback, no
// padding (the ciphertext is as long as the plaintext), then standard
// Base64 with "=" padding and no line breaks. The IV is fixed by the
// settings, so the same document always gives the same payload.
#pragma once

#include <string>

namespace ns_zr_stat {

// The sealed payload of a document: the UTF-8 bytes of the three texts (up
// to their first zero character) are the plaintext, the key and the IV.
// Empty text when the key or the IV is empty, and also when the key is not
// 16, 24 or 32 bytes long or the IV is shorter than 16 bytes (such input
// cannot be used safely).
std::wstring SealPayload(const std::wstring& strJson, const std::wstring& strKey,
                         const std::wstring& strIv);

// Byte forms. SealBytes encrypts and encodes; false (and strOut empty) for
// a key that is not 16, 24 or 32 bytes or an IV shorter than 16 bytes
// (only its first 16 bytes are used).
bool SealBytes(const std::string& strPlain, const std::string& strKey, const std::string& strIv,
               std::string& strOut);
// Decrypts ciphertext bytes (not Base64) with the same rules.
bool OpenBytes(const std::string& strCipher, const std::string& strKey, const std::string& strIv,
               std::string& strOut);

// Standard Base64 with "=" padding, one line.
std::string Base64Encode(const std::string& strBytes);
// Strict decoding: only the standard alphabet, a length that is a multiple
// of 4 and "=" only as the last one or two characters. False otherwise.
bool Base64Decode(const std::string& strText, std::string& strBytes);

} // namespace ns_zr_stat
