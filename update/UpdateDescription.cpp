#include "update/UpdateDescription.h"

#include <QRegularExpression>
#include <QStringConverter>
#include <QStringList>

namespace vardocle {

namespace {

std::optional<QList<int>> VersionParts(const QString& version) {
    const QStringList parts = version.split(u'.');
    if (parts.isEmpty() || parts.size() > 4)
        return std::nullopt;
    QList<int> numbers;
    for (const QString& part : parts) {
        // Digits only: toInt() alone would accept signs and spaces.
        if (part.isEmpty() || part.size() > 5)
            return std::nullopt;
        for (const QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
        }
        const int number = part.toInt();
        if (number > 65535)
            return std::nullopt;
        numbers.append(number);
    }
    while (numbers.size() < 4)
        numbers.append(0);
    return numbers;
}

std::optional<QString> DecodeUtf8Strictly(const QByteArray& text) {
    if (text.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString decoded = decoder.decode(text);
    if (decoder.hasError())
        return std::nullopt;
    if (decoded.startsWith(QChar(0xFEFF)))
        decoded.remove(0, 1);
    return decoded;
}

bool IsDownloadAddress(const QUrl& url) {
    // Only web pages: the address is opened by the desktop's URL handler, and
    // a file: or custom-scheme address from the network must not run anything.
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == u"http" || url.scheme() == u"https");
}

} // namespace

bool IsWellFormedVersion(const QString& version) {
    return VersionParts(version).has_value();
}

std::optional<int> CompareVersions(const QString& a, const QString& b) {
    const auto left = VersionParts(a);
    const auto right = VersionParts(b);
    if (!left || !right)
        return std::nullopt;
    for (int i = 0; i < 4; ++i) {
        if ((*left)[i] != (*right)[i])
            return (*left)[i] < (*right)[i] ? -1 : 1;
    }
    return 0;
}

std::optional<TUpdateDescription> ParseUpdateDescription(const QByteArray& text) {
    if (text.size() > kMaxDescriptionSize)
        return std::nullopt;
    const auto decoded = DecodeUtf8Strictly(text);
    if (!decoded)
        return std::nullopt;

    static const QRegularExpression keyPattern(QStringLiteral("^[A-Za-z][A-Za-z0-9_.-]*$"));
    std::optional<QString> version;
    std::optional<QString> url;
    QStringList notes;
    for (QString line : decoded->split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        const auto eq = trimmed.indexOf(u'=');
        if (eq < 0)
            return std::nullopt;
        const QString key = trimmed.left(eq).trimmed().toLower();
        const QString value = trimmed.mid(eq + 1).trimmed();
        if (!keyPattern.match(key).hasMatch())
            return std::nullopt;
        if (key == u"version") {
            if (version)
                return std::nullopt;
            version = value;
        } else if (key == u"url") {
            if (url)
                return std::nullopt;
            url = value;
        } else if (key == u"notes") {
            notes.append(value);
        }
        // Other keys are left for later versions of the format.
    }
    if (!version || !IsWellFormedVersion(*version) || !url)
        return std::nullopt;
    const QUrl downloadUrl(*url);
    if (!IsDownloadAddress(downloadUrl))
        return std::nullopt;
    return TUpdateDescription{*version, notes.join(u'\n'), downloadUrl};
}

} // namespace vardocle
