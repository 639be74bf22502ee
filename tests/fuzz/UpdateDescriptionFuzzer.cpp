// Any bytes as the update description from the web site: it is read or
// refused; what is read names a well-formed version and a web address, and
// versions compare consistently.
#include "tests/fuzz/FuzzRequire.h"
#include "update/UpdateDescription.h"

#include <cstdint>
#include <cstdlib>

using namespace vardocle;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto description = ParseUpdateDescription(text)) {
        Require(IsWellFormedVersion(description->Version));
        Require(description->DownloadUrl.scheme() == u"http" ||
                description->DownloadUrl.scheme() == u"https");
        Require(!description->DownloadUrl.host().isEmpty());
        Require(CompareVersions(description->Version, description->Version) == 0);
    }
    // The two halves of the input as versions: one order, seen from both sides.
    const QString a = QString::fromUtf8(text.left(text.size() / 2));
    const QString b = QString::fromUtf8(text.mid(text.size() / 2));
    const auto ab = CompareVersions(a, b);
    const auto ba = CompareVersions(b, a);
    Require(ab.has_value() == (IsWellFormedVersion(a) && IsWellFormedVersion(b)));
    Require(ab.has_value() == ba.has_value() && (!ab || *ab == -*ba));
    return 0;
}
