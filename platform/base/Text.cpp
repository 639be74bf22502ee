#include "platform/base/Text.h"

#include <QByteArray>

namespace vardocle {

QString DecodeLenient(const std::string& bytes) {
    return DecodeLenient(bytes.data(), bytes.size());
}

QString DecodeLenient(const char* bytes, std::size_t length) {
    return QString::fromUtf8(bytes, static_cast<qsizetype>(length));
}

std::string EncodeSystem(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

} // namespace vardocle
