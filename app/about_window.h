#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QPushButton;

// The About box: program icon, version line, date line and OK.
class CAboutWindow : public QDialog {
    Q_OBJECT

public:
    CAboutWindow(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS,
                 QWidget* parent = nullptr);

    QString versionLine() const;

private:
    QLabel* versionLabel_ = nullptr;
};

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
