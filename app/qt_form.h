#pragma once

#include "app/qt_message_box.h"
#include "app/qt_text.h"
#include "windows/editor_fields.h"

#include <QAbstractSpinBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QVBoxLayout>
#include <initializer_list>
#include <string>

// The bytes of an edit: those held before when the user left the text as shown, so a stored text
// that is not UTF-8 (a file from another system) survives the dialog unchanged.
inline std::string editedBytes(const std::string& held, const QString& shown) {
    return qText(held) == shown ? held : shown.toStdString();
}

// Names a control by its objectName, the one way tests find it (QObject::findChild); returns it.
template <typename Control> Control* named(Control* control, const char* name) {
    control->setObjectName(QLatin1String(name));
    return control;
}

// Lays out a form window: `form` on top and, below it, a row of buttons with `left` at its left
// end and `right` at its right end.
inline void layOutForm(QWidget& window, QLayout* form, std::initializer_list<QWidget*> left,
                       std::initializer_list<QWidget*> right) {
    constexpr int kButtonRowGap = 8;
    auto* buttons = new QHBoxLayout;
    for (QWidget* button : left)
        buttons->addWidget(button);
    buttons->addStretch(1);
    for (QWidget* button : right)
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(&window);
    layout->addLayout(form);
    layout->addSpacing(kButtonRowGap);
    layout->addLayout(buttons);
}

// Focus on a field and select its whole text, as after a refused entry.
inline void focusField(QWidget* field) {
    if (!field)
        return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
        spin->selectAll();
    else if (auto* box = qobject_cast<QPlainTextEdit*>(field))
        box->selectAll();
}

// OK of a form: closes `dialog` as accepted when `check` passed, else has `tell` say why and puts
// the focus on the refused field (`refusedField`, the widget of `check.focus`).
template <typename Field, typename Tell>
void acceptOrRefuse(QDialog& dialog, const FieldCheck<Field>& check, QWidget* refusedField,
                    Tell tell) {
    if (check.accepted) {
        dialog.done(QDialog::Accepted);
        return;
    }
    tell(check.message);
    focusField(refusedField);
}

// The same with the refusal in an information box over the dialog.
template <typename Field>
void acceptOrRefuse(QDialog& dialog, const FieldCheck<Field>& check, QWidget* refusedField) {
    acceptOrRefuse(dialog, check, refusedField,
                   [&dialog](const std::string& text) { tellUser(&dialog, text); });
}
