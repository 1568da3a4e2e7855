#pragma once

#include <QString>
#include <QUrl>

#include <string>
#include <string_view>

// Paths are the bytes the file system gives; these turn them into URLs and
// display texts without losing a byte that is not valid text.
namespace quorbit {

// The file URL of the absolute `path`, every byte but "/" and the unreserved
// ones percent-encoded, so the URL carries the path exactly.
QUrl fileUrl(const std::string& path);

// The path bytes of a file URL, percent-decoded; empty for any other URL.
std::string localPathBytes(const QUrl& url);

// The bytes as the user reads them; a byte that is not valid text shows as a
// replacement mark.
QString displayText(std::string_view bytes);

} // namespace quorbit
