#include "app/winxp.h"

#include <QWidget>

namespace quorbit {

TWinXP::TWinXP(QObject* owner)
    : QObject(owner)
{
}

TWinXP::Created TWinXP::create(QObject* owner)
{
    const auto* form = qobject_cast<const QWidget*>(owner);
    if (!form || !form->isWindow())
        return {nullptr, QStringLiteral("Control parent must be a form!")};
    if (owner->findChild<TWinXP*>(QString(), Qt::FindDirectChildrenOnly))
        return {nullptr, QStringLiteral("Only one instance of TWinXP allowed on form")};
    return {new TWinXP(owner), QString()};
}

} // namespace quorbit
