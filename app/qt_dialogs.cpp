#include "app/qt_dialogs.h"

#include "app/about_dialog.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <QMessageBox>

void CQtMessageBox::showMessage(const std::string& text) {
    const std::string_view title = loadString(kIdsMainTitle);
    QMessageBox::information(parent_,
                             QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                             QString::fromStdString(text));
}

void CQtViewDialogs::showSplash() {
    CSplashDialog splash(parent_);
    splash.exec();
}

void CQtViewDialogs::showAbout() {
    CAboutDialog about(fileVersionMS_, fileVersionLS_, parent_);
    about.exec();
}
