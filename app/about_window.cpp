#include "app/about_window.h"

#include "app/icons.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/status_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString text(unsigned id) {
    const std::string_view view = loadString(id);
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

// The splash picture: the program icon on a band with the main title.
QPixmap splashPicture() {
    QPixmap pixmap(320, 72);
    pixmap.fill(QColor(0, 48, 120));
    QPainter painter(&pixmap);
    painter.drawPixmap(16, 20, programIcon().pixmap(32, 32));
    QFont font = painter.font();
    font.setPixelSize(24);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(64, 0, 240, 72), Qt::AlignVCenter | Qt::AlignLeft, text(kIdsMainTitle));
    return pixmap;
}

} // namespace

CAboutWindow::CAboutWindow(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS,
                           QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(text(kIdsAboutTitle));
    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    versionLabel_ =
        new QLabel(QString::fromStdString(aboutVersionLine(fileVersionMS, fileVersionLS)), this);
    auto* date = new QLabel(text(kIdsAboutDate), this);
    auto* ok = new QPushButton(text(kIdsButtonOk), this);
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

CSplashWindow::CSplashWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(text(kIdsMainTitle));
    // Only OK closes the splash.
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint);
    auto* picture = new QLabel(this);
    picture->setPixmap(splashPicture());
    auto* notice = new QPlainTextEdit(text(kIdsSplashNotice), this);
    notice->setReadOnly(true);
    okButton_ = new QPushButton(text(kIdsSplashOk), this);
    // The button's place is kept while it is hidden, so nothing moves when it appears.
    QSizePolicy keepPlace = okButton_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    okButton_->setSizePolicy(keepPlace);
    okButton_->setVisible(false);
    okButton_->setEnabled(false);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout;
    layout->addWidget(picture);
    layout->addWidget(notice);
    layout->addWidget(okButton_, 0, Qt::AlignRight);
    setLayout(layout);

    QTimer::singleShot(kOkDelayMs, this, [this] {
        okButton_->setVisible(true);
        okButton_->setEnabled(true);
        okButton_->setDefault(true);
    });
}

void CSplashWindow::reject() {
    if (okButton_->isEnabled())
        QDialog::reject();
}
