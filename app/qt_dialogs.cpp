#include "app/qt_dialogs.h"

#include "app/about_dialog.h"
#include "app/comms_log_window.h"
#include "app/vantrel_app.h"
#include "app/vantrel_doc.h"
#include "comms/comms_context.h"
#include "config/settings_file.h"
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

QWidget* CQtViewDialogs::createCommsLog(WindowHandle opener) {
    if (document_ == nullptr)
        return nullptr;
    CVantrelApp* app = CVantrelApp::instance();
    CCommsEngine& engine = document_->context().engine;
    auto* window = new CCommsLogWindow(engine.logRecords, engine.logEnabled, opener,
                                       {timeSeparator, timeFormat, shortDateFormat},
                                       app ? app->settings().path : std::string(), parent_);
    window->show();
    return window;
}
