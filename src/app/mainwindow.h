#pragma once

#include <QMainWindow>

namespace quorbit {

// The program's one window. It reads its controls' values and hands them to
// the engine; it holds no renaming logic of its own.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace quorbit
