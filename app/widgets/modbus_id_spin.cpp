#include "app/widgets/modbus_id_spin.h"

#include "app/widgets/number_edit.h"
#include "windows/setup_comms_dlg.h"

#include <QLineEdit>

CModbusIdSpin::CModbusIdSpin(QWidget* parent) : QAbstractSpinBox(parent) {
    setWrapping(true);
    setAccelerated(false);
}

QString CModbusIdSpin::text() const {
    return lineEdit()->text();
}

void CModbusIdSpin::setText(const QString& value) {
    lineEdit()->setText(value);
}

void CModbusIdSpin::stepBy(int steps) {
    lineEdit()->setText(QString::number(stepModbusId(text().toStdString(), steps)));
    selectAll();
}

QValidator::State CModbusIdSpin::validate(QString& input, int&) const {
    for (const QChar c : input) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

QSize CModbusIdSpin::sizeHint() const {
    QSize hint = QAbstractSpinBox::sizeHint();
    hint.setWidth(kNumberFieldWidth);
    return hint;
}

QAbstractSpinBox::StepEnabled CModbusIdSpin::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}
