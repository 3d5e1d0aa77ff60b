#pragma once
// The game's TLS identity for the phones' page: an ECDSA P-256 key and a self-signed certificate
// for it, made with OpenSSL on first use and kept in a folder of the game's data
// ("phone-key.pem", created with mode 0600 from the start, and "phone-certificate.pem"), so a
// phone that accepted the certificate once is not asked again. A pair that cannot be read, does
// not match or has expired is made anew (the old files are replaced atomically).

#include <filesystem>
#include <string>

namespace cantorix::platform {

struct TlsIdentity {
    std::string keyPem;
    std::string certificatePem;
    // "AB:CD:…": the SHA-256 of the certificate's DER form, as browsers show it.
    std::string sha256Fingerprint;
};

// Reads the pair from folder, or makes and stores a new one. Throws std::runtime_error naming
// the file and the reason when the folder cannot be made or written, or a path there is not a
// regular file.
TlsIdentity loadOrMakeTlsIdentity(const std::filesystem::path& folder);

// 16 bytes from the system's cryptographic random source, as 32 lowercase hexadecimal digits.
std::string randomSecretHex();

} // namespace cantorix::platform
