// The phones' TLS identity with OpenSSL: the key and certificate are read back only when they are
// regular files of this folder (never through a link, never from a pipe that would hold the
// game), parse, belong together and stay valid for a while yet; otherwise a new pair is made
// and each file replaced in one rename, the key never readable by others even for a moment.

#include "platform/phones/tls_identity.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace cantorix::platform {

namespace {

namespace fs = std::filesystem;

constexpr const char* kKeyFileName = "phone-key.pem";
constexpr const char* kCertificateFileName = "phone-certificate.pem";
constexpr long kSecondsPerDay = 24L * 60 * 60;
// Browsers refuse leaf certificates valid for longer than this.
constexpr long kValidDays = 825;
// A certificate about to expire is renewed before a phone could meet it expired mid-evening.
constexpr long kRenewalDays = 30;
// A PEM key or certificate of ours is under 2 KiB; anything far larger is not one.
constexpr std::size_t kMaxPemBytes = 64 * 1024;
// The longest common name a certificate may carry.
constexpr std::size_t kMaxCommonNameLength = 64;
constexpr std::size_t kSerialBytes = 16;
constexpr std::size_t kSecretBytes = 16;

template <auto Free> struct OpenSslFree {
    template <typename T> void operator()(T* pointer) const { Free(pointer); }
};
using KeyPointer = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY_free>>;
using CertificatePointer = std::unique_ptr<X509, OpenSslFree<X509_free>>;
using BioPointer = std::unique_ptr<BIO, OpenSslFree<BIO_free>>;
using BignumPointer = std::unique_ptr<BIGNUM, OpenSslFree<BN_free>>;
using ExtensionPointer = std::unique_ptr<X509_EXTENSION, OpenSslFree<X509_EXTENSION_free>>;

std::string systemReason(int error) {
    return std::strerror(error);
}

// OpenSSL's reason for the last failure, and its error queue emptied for the next call.
[[noreturn]] void failOpenSsl(const std::string& what) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    std::array<char, 256> reason{};
    if (code != 0)
        ERR_error_string_n(code, reason.data(), reason.size());
    throw std::runtime_error(what + (code != 0 ? std::string(": ") + reason.data() : ""));
}

// Never asks for a passphrase: an encrypted key here is not ours, and a prompt on the terminal
// would hold the game.
int refusePassphrase(char* /*buffer*/, int /*size*/, int /*writing*/, void* /*data*/) {
    return -1;
}

enum class Readers { Anyone, OwnerOnly };

// The file's bytes when it is a regular file itself: a link, a pipe, a folder or an unreadable
// file gives nothing, and the pair is then made anew. So does a key others could read (a copy
// made carelessly): it may no longer be secret.
std::optional<std::string> readOwnRegularFile(const fs::path& path, Readers readers) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        (readers == Readers::Anyone || (info.st_mode & 077) == 0) &&
        static_cast<std::size_t>(info.st_size) <= kMaxPemBytes) {
        std::string read(kMaxPemBytes + 1, '\0');
        std::size_t filled = 0;
        for (;;) {
            const ssize_t got = ::read(fd, read.data() + filled, read.size() - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            filled += static_cast<std::size_t>(got);
            if (filled == read.size())
                break;
        }
        if (filled <= kMaxPemBytes) {
            read.resize(filled);
            bytes = std::move(read);
        }
    }
    ::close(fd);
    return bytes;
}

KeyPointer parseKey(const std::string& pem) {
    BioPointer bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio)
        return KeyPointer();
    return KeyPointer(PEM_read_bio_PrivateKey(bio.get(), nullptr, refusePassphrase, nullptr));
}

CertificatePointer parseCertificate(const std::string& pem) {
    BioPointer bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio)
        return CertificatePointer();
    return CertificatePointer(PEM_read_bio_X509(bio.get(), nullptr, refusePassphrase, nullptr));
}

bool isP256Key(EVP_PKEY* key) {
    std::array<char, 64> group{};
    return EVP_PKEY_is_a(key, "EC") == 1 &&
           EVP_PKEY_get_group_name(key, group.data(), group.size(), nullptr) == 1 &&
           std::string_view(group.data()) == "prime256v1";
}

// Whether the pair can serve phones now and for the renewal period to come.
bool pairUsable(EVP_PKEY* key, X509* certificate) {
    if (!isP256Key(key) || X509_check_private_key(certificate, key) != 1)
        return false;
    std::time_t renewalLimit = std::time(nullptr) + kRenewalDays * kSecondsPerDay;
    return X509_cmp_current_time(X509_get0_notBefore(certificate)) < 0 &&
           X509_cmp_time(X509_get0_notAfter(certificate), &renewalLimit) > 0;
}

std::string hostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
        return "this computer";
    // Only printable ASCII goes into the name, so it encodes as any certificate reader expects.
    std::string printable;
    for (const char c : std::string_view(name.data()))
        printable += (c >= 0x20 && c < 0x7f) ? c : '?';
    return printable;
}

void addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    ExtensionPointer extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1)
        failOpenSsl(std::string("Cannot add the certificate extension ") + value);
}

void setRandomSerial(X509* certificate) {
    std::array<unsigned char, kSerialBytes> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1)
        failOpenSsl("Cannot draw the certificate's serial number");
    BignumPointer serial(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
    // Zero is not a valid serial number; one draw in 2^128 would give it.
    if (serial && BN_is_zero(serial.get()))
        BN_one(serial.get());
    if (!serial || !BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)))
        failOpenSsl("Cannot set the certificate's serial number");
}

void setNames(X509* certificate) {
    std::string commonName = "Cantorix on " + hostName();
    commonName.resize(std::min(commonName.size(), kMaxCommonNameLength));
    X509_NAME* name = X509_get_subject_name(certificate);
    const auto* text = reinterpret_cast<const unsigned char*>(commonName.c_str());
    if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, text, -1, -1, 0) != 1 ||
        X509_set_issuer_name(certificate, name) != 1)
        failOpenSsl("Cannot name the certificate");
}

CertificatePointer makeCertificate(EVP_PKEY* key) {
    CertificatePointer certificate(X509_new());
    if (!certificate || X509_set_version(certificate.get(), X509_VERSION_3) != 1)
        failOpenSsl("Cannot make a certificate");
    setRandomSerial(certificate.get());
    if (!X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -kSecondsPerDay) ||
        !X509_gmtime_adj(X509_getm_notAfter(certificate.get()), (kValidDays - 1) * kSecondsPerDay))
        failOpenSsl("Cannot set the certificate's validity");
    setNames(certificate.get());
    if (X509_set_pubkey(certificate.get(), key) != 1)
        failOpenSsl("Cannot put the key into the certificate");
    addExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate.get(), NID_key_usage, "critical,digitalSignature");
    addExtension(certificate.get(), NID_ext_key_usage, "serverAuth");
    addExtension(certificate.get(), NID_subject_key_identifier, "hash");
    // The addresses of the home network are not known yet; a phone accepts the certificate once.
    addExtension(certificate.get(), NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,IP:::1");
    if (X509_sign(certificate.get(), key, EVP_sha256()) <= 0)
        failOpenSsl("Cannot sign the certificate");
    return certificate;
}

std::string bioText(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::string keyPem(EVP_PKEY* key) {
    BioPointer bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        failOpenSsl("Cannot write the phones' key");
    return bioText(bio.get());
}

std::string certificatePem(X509* certificate) {
    BioPointer bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1)
        failOpenSsl("Cannot write the phones' certificate");
    return bioText(bio.get());
}

std::string fingerprintOf(X509* certificate) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest.data(), &length) != 1)
        failOpenSsl("Cannot take the certificate's fingerprint");
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0)
            text += ':';
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 0x0f];
    }
    return text;
}

std::string hexOf(const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0f];
    }
    return text;
}

[[noreturn]] void failStoring(const fs::path& path, const std::string& reason) {
    throw std::runtime_error("Cannot store '" + path.string() + "': " + reason);
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

void writeAll(int fd, const fs::path& temporary, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            failStoring(temporary, systemReason(written < 0 ? errno : ENOSPC));
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Replaces the file at path (a link or pipe there is replaced itself, not followed) with bytes,
// through a file created with mode from the start. A folder at path is refused: it is not ours
// to remove.
void replaceWithMode(const fs::path& path, std::string_view bytes, mode_t mode) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        failStoring(path, "it is a folder, not a regular file");
    std::array<unsigned char, 6> suffix{};
    if (RAND_bytes(suffix.data(), static_cast<int>(suffix.size())) != 1)
        failOpenSsl("Cannot name a temporary file");
    const fs::path temporary = path.parent_path() / ("." + path.filename().string() + "." +
                                                     hexOf(suffix.data(), suffix.size()));
    const int fd = ::open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0)
        failStoring(temporary, systemReason(errno));
    try {
        writeAll(fd, temporary, bytes);
        if (::fsync(fd) != 0)
            failStoring(temporary, systemReason(errno));
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    const bool closed = ::close(fd) == 0;
    const int closeError = errno;
    if (!closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = closed ? errno : closeError;
        ::unlink(temporary.c_str());
        failStoring(path, systemReason(error));
    }
    syncFolder(path.parent_path());
}

// The folder, made readable by its owner alone when it is missing (its parents as usual).
void makeFolder(const fs::path& folder) {
    std::error_code ignored;
    if (folder.has_parent_path())
        fs::create_directories(folder.parent_path(), ignored);
    if (::mkdir(folder.c_str(), 0700) == 0)
        return;
    const int error = errno;
    std::error_code ec;
    if (error == EEXIST && fs::is_directory(folder, ec))
        return;
    throw std::runtime_error(
        "Cannot make the folder '" + folder.string() +
        "': " + (error == EEXIST ? "it is a file, not a folder" : systemReason(error)));
}

std::optional<TlsIdentity> readIdentity(const fs::path& keyPath, const fs::path& certificatePath) {
    std::optional<std::string> keyText = readOwnRegularFile(keyPath, Readers::OwnerOnly);
    std::optional<std::string> certificateText =
        readOwnRegularFile(certificatePath, Readers::Anyone);
    if (!keyText || !certificateText)
        return std::nullopt;
    KeyPointer key = parseKey(*keyText);
    CertificatePointer certificate = parseCertificate(*certificateText);
    const bool usable = key && certificate && pairUsable(key.get(), certificate.get());
    ERR_clear_error();
    if (!usable)
        return std::nullopt;
    return TlsIdentity{std::move(*keyText), std::move(*certificateText),
                       fingerprintOf(certificate.get())};
}

} // namespace

TlsIdentity loadOrMakeTlsIdentity(const fs::path& folder) {
    makeFolder(folder);
    const fs::path keyPath = folder / kKeyFileName;
    const fs::path certificatePath = folder / kCertificateFileName;
    if (std::optional<TlsIdentity> stored = readIdentity(keyPath, certificatePath))
        return std::move(*stored);

    KeyPointer key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key)
        failOpenSsl("Cannot make a key for the phones");
    CertificatePointer certificate = makeCertificate(key.get());
    TlsIdentity identity{keyPem(key.get()), certificatePem(certificate.get()),
                         fingerprintOf(certificate.get())};
    // The key first: should the certificate not follow, the pair no longer matches and is made
    // anew next time, rather than an old certificate being served with a key it does not fit.
    replaceWithMode(keyPath, identity.keyPem, 0600);
    replaceWithMode(certificatePath, identity.certificatePem, 0644);
    return identity;
}

std::string randomSecretHex() {
    std::array<unsigned char, kSecretBytes> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1)
        failOpenSsl("The system's random source failed");
    return hexOf(bytes.data(), bytes.size());
}

} // namespace cantorix::platform
