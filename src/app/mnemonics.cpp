#include "app/mnemonics.h"

#include "settings/mnemonics.h"

#include <QAction>
#include <QCheckBox>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include <string>
#include <vector>

namespace quorbit {

namespace {

// Marks `texts` after `reserved`, whose letters stay theirs.
QStringList marked(const QStringList& reserved, const QStringList& texts)
{
    std::vector<std::string> captions;
    for (const QStringList* list : {&reserved, &texts}) {
        for (const QString& text : *list) {
            captions.push_back(text.toStdString());
        }
    }
    const std::vector<std::string> result = settings::withMnemonics(captions);
    QStringList shown;
    for (std::size_t position = static_cast<std::size_t>(reserved.size()); position < result.size(); ++position) {
        shown << QString::fromStdString(result[position]);
    }
    return shown;
}

template <class Item>
void markGroup(const QStringList& reserved, const QList<Item*>& items)
{
    QStringList texts;
    for (const Item* item : items) {
        texts << item->text();
    }
    const QStringList result = marked(reserved, texts);
    for (qsizetype position = 0; position < items.size(); ++position) {
        if (result[position] != texts[position]) {
            items[position]->setText(result[position]);
        }
    }
}

QList<QAction*> captionedActions(const QList<QAction*>& actions)
{
    QList<QAction*> captioned;
    for (QAction* action : actions) {
        if (!action->isSeparator() && !action->text().isEmpty()) {
            captioned << action;
        }
    }
    return captioned;
}

bool takesMnemonic(const QObject* child)
{
    return qobject_cast<const QPushButton*>(child) || qobject_cast<const QCheckBox*>(child)
        || qobject_cast<const QRadioButton*>(child);
}

} // namespace

void assignMnemonics(QMainWindow& window)
{
    markGroup({}, captionedActions(window.menuBar()->actions()));
    QStringList menuBarTexts;
    for (const QAction* action : window.menuBar()->actions()) {
        menuBarTexts << action->text();
    }
    for (QMenu* menu : window.findChildren<QMenu*>()) {
        markGroup({}, captionedActions(menu->actions()));
    }
    // Siblings are the buttons of one parent; dialogs of their own are left alone.
    QList<QWidget*> parents{&window};
    parents += window.findChildren<QWidget*>();
    for (QWidget* parent : parents) {
        if (parent->window() != &window) {
            continue;
        }
        QList<QAbstractButton*> buttons;
        for (QObject* child : parent->children()) {
            if (takesMnemonic(child)) {
                buttons << static_cast<QAbstractButton*>(child);
            }
        }
        if (!buttons.isEmpty()) {
            markGroup(menuBarTexts, buttons);
        }
    }
}

QString withoutMnemonic(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype position = 0; position < text.size(); ++position) {
        if (text[position] == u'&' && position + 1 < text.size()) {
            ++position; // "&x" shows "x", "&&" shows "&"
        }
        shown += text[position];
    }
    return shown;
}

} // namespace quorbit
