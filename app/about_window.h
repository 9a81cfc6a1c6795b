#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;

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
