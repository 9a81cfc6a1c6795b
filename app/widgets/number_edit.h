#pragma once

#include <QLineEdit>

// Short number fields (times, retries, TCP ports, the Modbus ID) share one width.
constexpr int kNumberFieldWidth = 80;

// A line edit as wide as a short number field.
inline QLineEdit* shortNumberEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setFixedWidth(kNumberFieldWidth);
    return edit;
}
