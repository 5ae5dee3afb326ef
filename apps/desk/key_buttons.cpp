#include "desk/key_buttons.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>

namespace ws::desk {

void AddKeyButtons(QWidget& owner, QHBoxLayout& row, std::initializer_list<KeyButton> buttons) {
  for (const KeyButton& b : buttons) {
    auto* button = new QPushButton(QString::fromUtf8(b.caption), &owner);
    button->setObjectName(b.name);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    QObject::connect(button, &QPushButton::clicked, &owner, b.run);
    row.addWidget(button);
    if (b.key.isEmpty()) continue;
    auto* action = new QAction(&owner);
    action->setShortcut(b.key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, &owner, b.run);
    owner.addAction(action);
  }
}

}  // namespace ws::desk
