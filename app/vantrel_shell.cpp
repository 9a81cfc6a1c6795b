#include "app/vantrel_shell.h"

#include "app/main_frame.h"
#include "app/vantrel_app.h"
#include "comms/comms_context.h"
#include "commslog/comms_log_journal.h"
#include "config/settings_file.h"
#include "windows/vantrel_doc.h"

CVantrelShell::CVantrelShell(CVantrelApp& app, IAppDialogs& dialogs)
    : app_(app), dialogs_(dialogs) {}

CVantrelShell::~CVantrelShell() {
    close();
}

bool CVantrelShell::create() {
    document_ = std::make_unique<CVantrelDoc>();
    if (!document_->onNewDocument(app_.messageBox())) {
        document_.reset();
        return false;
    }
    // Records beyond the log's bound go to the journal beside the settings file.
    document_->context().engine.logRecords.setJournalPath(journalPathBeside(app_.settings().path));
    frame_ = std::make_unique<CMainFrame>();
    frame_->setDocument(document_.get());
    document_->context().mainWindow = frame_->handle();
    view_ = new CVantrelView(*document_, app_.settings(), *frame_, dialogs_, app_.messageBox(),
                             {app_.releaseNotesPath(), app_.helpDocumentPath()});
    frame_->resize(640, 420);
    view_->onInitialUpdate();
    return true;
}

void CVantrelShell::show() {
    if (frame_) {
        frame_->show();
        frame_->repaint();
    }
}

bool CVantrelShell::close() {
    if (!document_)
        return true;
    document_->onCloseDocument(app_.settings());
    // The view goes first and runs the disconnect sequence while the frame, which parents a
    // hang-up dialog, is still whole; then the frame, and then the document stops the comms
    // thread.
    delete view_;
    view_ = nullptr;
    frame_.reset();
    const bool stopped = document_->stopCommsThread();
    document_.reset();
    return stopped;
}
