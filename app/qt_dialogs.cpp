#include "app/qt_dialogs.h"

#include "app/about_dialog.h"
#include "app/connect_dialog.h"
#include "app/hang_up_dialog.h"
#include "app/temp_comms_dialog.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <QMessageBox>

void CQtMessageBox::showMessage(const std::string& text) {
    const std::string_view title = loadString(kIdsMainTitle);
    QMessageBox box(QMessageBox::Information,
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

void CQtViewDialogs::runConnect(CVantrelDoc& document, CSettingsFile& settings) {
    CConnectDlg dialog(document, settings, nullptr, parent_);
    dialog.run();
}

void CQtViewDialogs::runHangUp(CVantrelDoc& document) {
    CModemHangUpDlg dialog(document, parent_);
    dialog.exec();
}

bool CQtViewDialogs::runTemporaryComms(MediaType mediaType, int& retries, int& time1, int& time2) {
    CTempCommsDlg dialog(mediaType, retries, time1, time2, nullptr, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    retries = dialog.retries();
    time1 = dialog.time1();
    time2 = dialog.time2();
    return true;
}
