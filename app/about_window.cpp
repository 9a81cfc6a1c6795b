#include "app/about_window.h"

#include "app/icons.h"
#include "app/qt_text.h"
#include "resources/string_ids.h"
#include "windows/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutWindow::CAboutWindow(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS,
                           QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(qText(kIdsAboutTitle));
    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    versionLabel_ = new QLabel(qText(aboutVersionLine(fileVersionMS, fileVersionLS)), this);
    auto* date = new QLabel(qText(kIdsAboutDate), this);
    auto* ok = new QPushButton(qText(kIdsButtonOk), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* lines = new QVBoxLayout;
    lines->addWidget(versionLabel_);
    lines->addWidget(date);
    lines->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(lines, 1);
    top->addWidget(ok, 0, Qt::AlignTop);
    setLayout(top);
}

QString CAboutWindow::versionLine() const {
    return versionLabel_->text();
}
