#include "app/qt_dialogs.h"

#include "app/about_dialog.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <QMessageBox>

void CQtMessageBox::showMessage(const std::string& text) {
    show(QMessageBox::Information, text);
}

void CQtMessageBox::showWarning(const std::string& text) {
    show(QMessageBox::Warning, text);
}

void CQtMessageBox::show(int icon, const std::string& text) {
    const std::string_view title = loadString(kIdsMainTitle);
    QMessageBox box(static_cast<QMessageBox::Icon>(icon),
                    QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    // Messages carry paths and location names, which are never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void CQtViewDialogs::showSplash() {
    CSplashDialog splash(parent_);
    splash.exec();
}

void CQtViewDialogs::showAbout() {
    CAboutDialog about(fileVersionMS_, fileVersionLS_, parent_);
    about.exec();
}
