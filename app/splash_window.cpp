#include "app/splash_window.h"

#include "app/icons.h"
#include "app/qt_text.h"
#include "resources/string_ids.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

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
    painter.drawText(QRect(64, 0, 240, 72), Qt::AlignVCenter | Qt::AlignLeft, qText(kIdsMainTitle));
    return pixmap;
}

} // namespace

CSplashWindow::CSplashWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(qText(kIdsMainTitle));
    // Only OK closes the splash.
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint);
    auto* picture = new QLabel(this);
    picture->setPixmap(splashPicture());
    auto* notice = new QPlainTextEdit(qText(kIdsSplashNotice), this);
    notice->setReadOnly(true);
    okButton_ = new QPushButton(qText(kIdsSplashOk), this);
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
