#pragma once

#include <QGroupBox>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace quorbit {

// GroupBoxMp3: the fields of the title template in the order the user gives
// them, each with a check mark, the separator between them and the template
// itself, which the user may also type.
class TitleTemplateBox : public QGroupBox {
    Q_OBJECT

public:
    explicit TitleTemplateBox(const QStringList& fields, QWidget* parent = nullptr);

    // The texts of the fields, in list order, checked or not.
    QStringList fields() const;
    void setFields(const QStringList& texts);
    void setChecked(int position, bool checked);
    // The template as the memo holds it, lines joined by CR LF.
    QString templateText() const;

    // Rebuilds the template from the checked fields, their order and the separator.
    void BuildTitleTemplate();
    // Up and Down: the selected field changes places with its neighbour, its
    // check mark and the selection going with it.
    void ButtonUpClick();
    void ButtonDownClick();
    // Enables or disables everything in the box.
    void CheckBoxID3Click(bool enabled);
    // Selects the separator entry at `index`.
    void selectSeparator(int index);

signals:
    // The template's text changed, typed or rebuilt.
    void changed();

private:
    void moveSelected(int step);

    QListWidget* m_fields;
    QComboBox* m_separator;
    QPlainTextEdit* m_memo;
    QPushButton* m_up;
    QPushButton* m_down;
    QLabel* m_separatorLabel;
    QLabel* m_memoLabel;
};

} // namespace quorbit
