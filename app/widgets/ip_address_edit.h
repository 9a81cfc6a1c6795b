#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

class QLineEdit;

// An IPv4 address field: four octet edits taking 0 to 255; the address is packed first octet
// highest.
class CIpAddressEdit : public QWidget {
    Q_OBJECT

public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);
    std::uint32_t address() const;
    void setAddress(std::uint32_t address);
    QLineEdit* octet(int index) const { return octets_[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLineEdit*, 4> octets_{};
};
