#pragma once

#include <QString>

#include <string>
#include <string_view>

// The window shows the engine's UTF-8 texts and hands it the user's. A file
// name is never one of them: names go through displayText and stay bytes.
namespace quorbit {

inline QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string toUtf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace quorbit
