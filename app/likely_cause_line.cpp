#include "app/likely_cause_line.h"

#include "app/qt_text.h"
#include "app/qt_tool_window.h"
#include "resources/string_ids.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kDetailsWidth = 560;
constexpr int kDetailsHeight = 320;

} // namespace

CLikelyCauseLine::CLikelyCauseLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("likelyCause"));
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("likelyCauseText"));
    label_->setFixedHeight(label_->fontMetrics().height());
    label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    detailsButton_ = new QPushButton(qText(kIdsDiagDetails), this);
    detailsButton_->setObjectName(QStringLiteral("likelyCauseDetails"));
    detailsButton_->setAutoDefault(false);
    QSizePolicy keepRoom = detailsButton_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    detailsButton_->setSizePolicy(keepRoom);
    detailsButton_->hide();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(label_, 1);
    row->addWidget(detailsButton_);
    setFixedHeight(sizeHint().height());
    connect(detailsButton_, &QPushButton::clicked, this, [this] { openDetails(); });
}

void CLikelyCauseLine::setTexts(const std::string& line, const std::string& details) {
    const QString newLine = qText(line);
    const QString newDetails = qText(details);
    if (newLine == line_ && newDetails == details_)
        return;
    line_ = newLine;
    details_ = newDetails;
    showLine();
    detailsButton_->setVisible(!details_.isEmpty());
    if (detailsBox_)
        detailsBox_->setPlainText(details_);
}

QWidget* CLikelyCauseLine::openDetails() {
    showToolWindow(detailsWindow_, [this]() -> QWidget* {
        auto* dialog = new QDialog(this->window());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowTitle(qText(kIdsDiagFindingsTitle));
        dialog->setObjectName(QStringLiteral("likelyCauses"));
        auto* box = new QPlainTextEdit(dialog);
        box->setReadOnly(true);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setPlainText(details_);
        auto* layout = new QVBoxLayout(dialog);
        layout->addWidget(box);
        dialog->resize(kDetailsWidth, kDetailsHeight);
        detailsBox_ = box;
        dialog->show();
        return dialog;
    });
    return detailsWindow_;
}

void CLikelyCauseLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showLine();
}

void CLikelyCauseLine::showLine() {
    label_->setText(label_->fontMetrics().elidedText(line_, Qt::ElideRight, label_->width()));
    label_->setToolTip(line_);
}
