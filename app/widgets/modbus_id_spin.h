#pragma once

#include <QAbstractSpinBox>

// The Modbus ID field: an edit that takes digits only, with up-down arrows (and the arrow keys)
// that step through 0 to 247 and wrap at both ends. Out-of-range digits stay for OK to refuse.
class CModbusIdSpin : public QAbstractSpinBox {
    Q_OBJECT

public:
    explicit CModbusIdSpin(QWidget* parent = nullptr);
    QString text() const;
    void setText(const QString& text);
    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& position) const override;
    QSize sizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;
};
