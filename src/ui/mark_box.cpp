// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/mark_box.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestle::ui {

MarkBox::MarkBox(app::MainWindow& win, QWidget* parent)
    : QWidget(parent, Qt::Tool), win_(win), note_(new QLineEdit), mark_(new QPushButton("Mark")) {
    setObjectName("markBox");
    setWindowTitle("Mark the Session");
    setWindowModality(Qt::NonModal);
    note_->setObjectName("markNote");
    note_->setMaxLength(kMarkNoteMaxChars);
    note_->setPlaceholderText("Note (optional)");
    note_->setMinimumWidth(320);
    auto* cancel = new QPushButton("Cancel");
    mark_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(mark_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("A note for this mark:"));
    layout->addWidget(note_);
    layout->addLayout(buttons);
    QObject::connect(mark_, &QPushButton::clicked, this, [this] { confirm(); });
    QObject::connect(note_, &QLineEdit::returnPressed, this, [this] { confirm(); });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { hide(); });
}

void MarkBox::open() {
    note_->clear();
    show();
    raise();
    activateWindow();
    note_->setFocus();
}

void MarkBox::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(e);
}

void MarkBox::confirm() {
    if (!isVisible())
        return; // Enter and the button in the same moment make one mark
    hide();
    win_.mark(note_->text().trimmed().toStdString(), "window");
}

} // namespace kestle::ui
