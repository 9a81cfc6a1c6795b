#include "app/widgets/ip_address_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace {

constexpr int kOctetCount = 4;
constexpr int kOctetBits = 8;

} // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const QRegularExpression octetPattern(QStringLiteral("25[0-5]|2[0-4][0-9]|1?[0-9]?[0-9]"));
    for (int i = 0; i < kOctetCount; ++i) {
        auto* octet = new QLineEdit(this);
        octet->setValidator(new QRegularExpressionValidator(octetPattern, octet));
        octet->setAlignment(Qt::AlignCenter);
        octet->setFixedWidth(40);
        octet->installEventFilter(this);
        if (i > 0)
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        layout->addWidget(octet);
        octets_[static_cast<std::size_t>(i)] = octet;
    }
    layout->addStretch(1);
    setFocusProxy(octets_[0]);
}

std::uint32_t CIpAddressEdit::address() const {
    std::uint32_t value = 0;
    for (const QLineEdit* octet : octets_)
        value = (value << kOctetBits) | (octet->text().toUInt() & 0xFFu);
    return value;
}

void CIpAddressEdit::setAddress(std::uint32_t address) {
    for (int i = 0; i < kOctetCount; ++i) {
        const auto shift = static_cast<unsigned>((kOctetCount - 1 - i) * kOctetBits);
        octets_[static_cast<std::size_t>(i)]->setText(QString::number((address >> shift) & 0xFFu));
    }
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    // A point moves on to the next octet, as in an address field.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Period) {
        for (std::size_t i = 0; i + 1 < octets_.size(); ++i) {
            if (watched == octets_[i]) {
                octets_[i + 1]->setFocus();
                octets_[i + 1]->selectAll();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
