#pragma once

#include <QFileIconProvider>
#include <QIcon>

namespace quorbit {

// The style's icon of a folder, a file or a drive. Each is read from several
// images, so it is made once and every view shares it.
QIcon fileIcon(QAbstractFileIconProvider::IconType type);

} // namespace quorbit
