#pragma once

#include <QObject>
#include <QString>

namespace quorbit {

// A component kept for the forms that hold one. The window uses Qt's platform
// style, so it does nothing beyond keeping its placement rules: its owner is a
// window, and a window holds at most one.
class TWinXP : public QObject {
    Q_OBJECT

public:
    struct Created {
        TWinXP* component = nullptr; // owned by the owner; null on failure
        QString error; // why nothing was created
        explicit operator bool() const { return component != nullptr; }
    };

    // Creates a TWinXP owned by `owner`; on failure creates nothing and says why.
    [[nodiscard]] static Created create(QObject* owner);

private:
    explicit TWinXP(QObject* owner);
};

} // namespace quorbit
