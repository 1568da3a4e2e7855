#include "browser/browsertexts.h"

#include <QRegularExpression>

namespace quorbit {

QString fillIn(QString text, std::initializer_list<QString> values)
{
    static const QRegularExpression markPattern(QStringLiteral("%[sd]"));
    qsizetype from = 0;
    for (const QString& value : values) {
        const QRegularExpressionMatch mark = markPattern.match(text, from);
        if (!mark.hasMatch()) {
            break;
        }
        text.replace(mark.capturedStart(), 2, value);
        // A value holding "%s" itself is never filled in again.
        from = mark.capturedStart() + value.size();
    }
    return text;
}

} // namespace quorbit
