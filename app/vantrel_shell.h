#pragma once

#include "app/vantrel_view.h"

#include <memory>

class CMainFrame;
class CVantrelApp;
class CVantrelDoc;

// The single-document window set: document, main frame and view, created and closed in the
// program's order.
class CVantrelShell {
public:
    CVantrelShell(CVantrelApp& app, IAppDialogs& dialogs);
    // Closes the document when close() has not run.
    ~CVantrelShell();
    CVantrelShell(const CVantrelShell&) = delete;
    CVantrelShell& operator=(const CVantrelShell&) = delete;

    // Creates the document (which starts the comms thread), the frame and the view, and runs the
    // view's initial update. Returns false when the document cannot be created.
    bool create();
    // Shows the main window.
    void show();
    // Saves the settings, takes down the view (disconnect sequence) and the frame, then the
    // document. Returns false when the comms thread did not end within its 10 s bound.
    bool close();

    CVantrelDoc* document() { return document_.get(); }
    CMainFrame* frame() { return frame_.get(); }
    CVantrelView* view() { return view_; }

private:
    CVantrelApp& app_;
    IAppDialogs& dialogs_;
    std::unique_ptr<CVantrelDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    CVantrelView* view_ = nullptr;
};
