#include "browser/fileicons.h"

namespace quorbit {

QIcon fileIcon(QAbstractFileIconProvider::IconType type)
{
    // The provider keeps each icon it has made.
    static const QFileIconProvider provider;
    return provider.icon(type);
}

} // namespace quorbit
