#include "Fingerprint.h"

#include "core/DrawRows.h"
#include "platform/RuntimeError.h"
#include "results/ClipboardCopy.h"

#include <QByteArray>
#include <QStringEncoder>

#include <openssl/evp.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace history {

namespace {

// OpenSSL's SHA-256 uses the processor's SHA instructions where it has them: eight times as fast as
// QCryptographicHash here, which matters on the thread that shares the processor with the window.
class Sha256 {
public:
    Sha256() {
        if (!m_context || EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1)
            fail();
    }
    void add(const char* bytes, qsizetype size) {
        if (EVP_DigestUpdate(m_context.get(), bytes, static_cast<std::size_t>(size)) != 1)
            fail();
    }
    QByteArray result() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        if (EVP_DigestFinal_ex(m_context.get(), digest, &size) != 1)
            fail();
        return QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(size));
    }

private:
    [[noreturn]] static void fail() {
        throw platform::RuntimeError(platform::RuntimeError::ApplicationDefined, u"SHA-256 is not available"_s);
    }
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> m_context{EVP_MD_CTX_new(), EVP_MD_CTX_free};
};

} // namespace

QString rollFingerprint(const core::DrawRows& rows) {
    Sha256 hash;
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray bytes;
    // Pieces end on line ends, so no surrogate pair is ever cut in two.
    results::copiedRollText(rows, [&](QStringView piece) {
        bytes.resize(utf8.requiredSpace(piece.size()));
        const char* end = utf8.appendToBuffer(bytes.data(), piece);
        hash.add(bytes.constData(), end - bytes.constData());
    });
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace history
