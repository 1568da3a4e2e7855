#include "browser/bytepaths.h"

#include <QByteArray>
#include <QFile>

namespace quorbit {

QUrl fileUrl(const std::string& path)
{
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"), QUrl::StrictMode);
}

std::string localPathBytes(const QUrl& url)
{
    // A file URL naming another machine is no path here.
    if (!url.isLocalFile() || (!url.host().isEmpty() && url.host() != QLatin1String("localhost"))) {
        return {};
    }
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

QString displayText(std::string_view bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

} // namespace quorbit
