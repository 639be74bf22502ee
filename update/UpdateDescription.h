#pragma once
// The update description published on the web site: a small key=value text
// (described in FORMAT.md) naming the newest version, its notes and the page
// to download it from.
#include "update/UpdateExport.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace vardocle {

// Descriptions longer than this are not read to the end.
inline constexpr qint64 kMaxDescriptionSize = 64 * 1024;

struct TUpdateDescription {
    QString Version;
    QString Notes; // lines joined with '\n'; may be empty
    QUrl DownloadUrl;
};

// Whether `version` is 1 to 4 dot-separated decimal numbers of 0..65535.
VARDOCLE_UPDATE_API bool IsWellFormedVersion(const QString& version);

// Negative, zero or positive as `a` is older than, the same as or newer than
// `b`; missing trailing parts count as 0 ("1.2" equals "1.2.0.0"). Empty when
// either is not well formed.
VARDOCLE_UPDATE_API std::optional<int> CompareVersions(const QString& a, const QString& b);

// Reads a description; empty when the text is not one (binary, not UTF-8,
// too long, a line that is not key=value, version or url missing, repeated
// or malformed).
VARDOCLE_UPDATE_API std::optional<TUpdateDescription>
ParseUpdateDescription(const QByteArray& text);

} // namespace vardocle
