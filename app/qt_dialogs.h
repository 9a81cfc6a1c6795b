#pragma once

#include "app/message_box.h"
#include "app/view_dialogs.h"

#include <cstdint>

class CVantrelDoc;
class QWidget;

// Message boxes with the program's title as caption.
class CQtMessageBox : public IMessageBox {
public:
    explicit CQtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void showMessage(const std::string& text) override;

private:
    QWidget* parent_;
};

// The dialogs the view opens. Windows that this build does not have yet do nothing.
class CQtViewDialogs : public IViewDialogs {
public:
    CQtViewDialogs(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS)
        : fileVersionMS_(fileVersionMS), fileVersionLS_(fileVersionLS) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // The document whose comms log the Communications Log window shows.
    void setDocument(CVantrelDoc* document) { document_ = document; }

    void showSplash() override;
    void showAbout() override;
    bool runLocations(CSettingsFile&) override { return false; }
    void runConnect(CVantrelDoc&, CSettingsFile&) override {}
    void runHangUp(CVantrelDoc&) override {}
    void runTest(CVantrelDoc&, int, ModbusType, int) override {}
    bool runTemporaryComms(MediaType, int&, int&, int&) override { return false; }
    QWidget* createCommsLog(WindowHandle opener) override;
    QWidget* createConvertor(WindowHandle) override { return nullptr; }

private:
    std::uint32_t fileVersionMS_;
    std::uint32_t fileVersionLS_;
    QWidget* parent_ = nullptr;
    CVantrelDoc* document_ = nullptr;
};
