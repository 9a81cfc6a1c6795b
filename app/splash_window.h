#pragma once

#include <QDialog>

class QPushButton;

// The start-up splash: a picture and a notice. Its OK button appears after five seconds.
class CSplashWindow : public QDialog {
    Q_OBJECT

public:
    explicit CSplashWindow(QWidget* parent = nullptr);

    static constexpr int kOkDelayMs = 5000;

    QPushButton* okButton() const { return okButton_; }

    // Escape and the window manager close the splash only once OK is offered.
    void reject() override;

private:
    QPushButton* okButton_ = nullptr;
};
