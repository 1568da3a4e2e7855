#include "app/titletemplatebox.h"

#include "rename/tagname.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quorbit {

namespace {

template <class Control>
Control* named(Control* control, const QString& name)
{
    control->setObjectName(name);
    return control;
}

QLabel* labelFor(QWidget* control, const QString& name, const QString& text, QWidget* parent)
{
    auto* label = named(new QLabel(text, parent), name);
    label->setBuddy(control);
    return label;
}

} // namespace

TitleTemplateBox::TitleTemplateBox(const QStringList& fields, QWidget* parent)
    : QGroupBox(QStringLiteral(" Audio Files Rename Options "), parent)
    , m_fields(named(new QListWidget(this), QStringLiteral("CLBTitle")))
    , m_separator(named(new QComboBox(this), QStringLiteral("CBSeparator")))
    , m_memo(named(new QPlainTextEdit(this), QStringLiteral("MemoTitle")))
    , m_up(named(new QPushButton(QStringLiteral("Up"), this), QStringLiteral("ButtonUp")))
    , m_down(named(new QPushButton(QStringLiteral("Down"), this), QStringLiteral("ButtonDown")))
    , m_separatorLabel(labelFor(m_separator, QStringLiteral("LabelSeparator"), QStringLiteral("Separator:"), this))
    , m_memoLabel(labelFor(m_memo, QStringLiteral("LabelNewTitle"), QStringLiteral("New Title:"), this))
{
    setObjectName(QStringLiteral("GroupBoxMp3"));
    for (const QString& field : fields) {
        auto* item = new QListWidgetItem(field, m_fields);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    m_fields->setAccessibleName(QStringLiteral("Title fields"));
    // Both boxes take the width the buttons and labels around them leave.
    m_fields->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_fields->setMinimumHeight(m_fields->sizeHintForRow(0) * 5 + 2 * m_fields->frameWidth());
    m_separator->setEditable(true);
    for (const char* entry : {"-", "+", "#", "@", "=", "&", ""}) {
        m_separator->addItem(QString::fromLatin1(entry));
    }
    m_separator->setCurrentIndex(-1);
    m_memo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* grid = new QGridLayout(this);
    auto* separatorRow = new QHBoxLayout;
    separatorRow->addWidget(m_separatorLabel, 1);
    separatorRow->addWidget(m_separator);
    grid->addWidget(m_fields, 0, 0, 3, 2);
    grid->addWidget(m_up, 3, 0);
    grid->addWidget(m_down, 3, 1);
    grid->addLayout(separatorRow, 0, 2);
    grid->addWidget(m_memoLabel, 1, 2);
    grid->addWidget(m_memo, 2, 2, 2, 1);
    grid->setColumnStretch(2, 1);

    // A field renamed by a language switch counts as a change too, so the
    // template never keeps the placeholders of the language left behind.
    connect(m_fields, &QListWidget::itemChanged, this, &TitleTemplateBox::BuildTitleTemplate);
    connect(m_up, &QPushButton::clicked, this, &TitleTemplateBox::ButtonUpClick);
    connect(m_down, &QPushButton::clicked, this, &TitleTemplateBox::ButtonDownClick);
    connect(m_separator, &QComboBox::currentTextChanged, this, &TitleTemplateBox::BuildTitleTemplate);
    connect(m_memo, &QPlainTextEdit::textChanged, this, &TitleTemplateBox::changed);
}

QStringList TitleTemplateBox::fields() const
{
    QStringList texts;
    for (int position = 0; position < m_fields->count(); ++position) {
        texts << m_fields->item(position)->text();
    }
    return texts;
}

void TitleTemplateBox::setFields(const QStringList& texts)
{
    for (int position = 0; position < m_fields->count() && position < texts.size(); ++position) {
        m_fields->item(position)->setText(texts[position]);
    }
}

void TitleTemplateBox::setChecked(int position, bool checked)
{
    m_fields->item(position)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

QString TitleTemplateBox::templateText() const
{
    return m_memo->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

void TitleTemplateBox::BuildTitleTemplate()
{
    std::vector<std::string> checked;
    for (int position = 0; position < m_fields->count(); ++position) {
        if (m_fields->item(position)->checkState() == Qt::Checked) {
            checked.push_back(m_fields->item(position)->text().toStdString());
        }
    }
    m_memo->setPlainText(
        QString::fromStdString(quorbit::BuildTitleTemplate(checked, m_separator->currentText().toStdString())));
}

void TitleTemplateBox::moveSelected(int step)
{
    const int from = m_fields->currentRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= m_fields->count()) {
        return;
    }
    QListWidgetItem* item = m_fields->takeItem(from);
    m_fields->insertItem(to, item);
    m_fields->setCurrentRow(to);
    BuildTitleTemplate();
}

void TitleTemplateBox::ButtonUpClick()
{
    moveSelected(-1);
}

void TitleTemplateBox::ButtonDownClick()
{
    moveSelected(1);
}

void TitleTemplateBox::CheckBoxID3Click(bool enabled)
{
    setEnabled(enabled);
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_fields, m_up, m_down, m_separatorLabel, m_separator, m_memoLabel, m_memo}) {
        control->setEnabled(enabled);
    }
}

void TitleTemplateBox::selectSeparator(int index)
{
    m_separator->setCurrentIndex(index);
}

} // namespace quorbit
