#include "app/qt_message_box.h"

#include "app/qt_text.h"
#include "resources/string_ids.h"

QMessageBox::StandardButton askUser(QWidget* parent, QMessageBox::Icon icon,
                                    const std::string& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, qText(kIdsMainTitle), qText(text), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void tellUser(QWidget* parent, const std::string& text, bool warning) {
    askUser(parent, warning ? QMessageBox::Warning : QMessageBox::Information, text,
            QMessageBox::Ok);
}

bool askYesNo(QWidget* parent, const std::string& question) {
    return askUser(parent, QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void CQtMessageBox::showMessage(const std::string& text) {
    tellUser(parent_, text);
}

void CQtMessageBox::showWarning(const std::string& text) {
    tellUser(parent_, text, true);
}
