#include "app/number_convertor_window.h"

#include "app/qt_form.h"
#include "app/qt_message_box.h"
#include "app/qt_text.h"
#include "app/widgets/word_orders_grid.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Wide enough for the eight bytes of a Double and for its value with 15 decimals.
constexpr int kFieldMinimumChars = 30;

} // namespace

CNumberConvertorWindow::CNumberConvertorWindow(WindowHandle opener,
                                               const std::string& listSeparator,
                                               IMessageBox* messageBox, QWidget* parent)
    : QDialog(parent), logic_(*this, listSeparator), messageBox_(messageBox, this) {
    logic_.opener = opener;
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(qText(kIdsConvertorTitle));

    dataTypes_ = named(new QComboBox(this), "dataType");
    for (const unsigned id : CNumberConvertorDlg::dataTypeTexts())
        dataTypes_->addItem(qText(id));
    dataTypes_->setCurrentIndex(logic_.dataTypeIndex);
    byteOrders_ = named(new QComboBox(this), "byteOrder");
    fillByteOrders();
    connect(dataTypes_, &QComboBox::currentIndexChanged, this,
            &CNumberConvertorWindow::onDataTypeChanged);

    valueField_ = named(new QLineEdit(this), "value");
    hexField_ = named(new QLineEdit(this), "hex");
    const int fieldWidth = fontMetrics().horizontalAdvance(QLatin1Char('0')) * kFieldMinimumChars;
    valueField_->setMinimumWidth(fieldWidth);
    hexField_->setMinimumWidth(fieldWidth);

    auto* dataTypeLabel = new QLabel(qText(kIdsConvertorDataTypeLabel), this);
    dataTypeLabel->setBuddy(dataTypes_);
    auto* byteOrderLabel = new QLabel(qText(kIdsConvertorHexFormatLabel), this);
    byteOrderLabel->setBuddy(byteOrders_);

    convertButton_ = named(new QPushButton(qText(kIdsConvertorConvert), this), "convert");
    convertButton_->setDefault(true);
    cancelButton_ = named(new QPushButton(qText(kIdsDialogCancel), this), "cancel");
    connect(convertButton_, &QPushButton::clicked, this, &CNumberConvertorWindow::onConvert);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(convertButton_, QDialogButtonBox::ActionRole);
    buttons->addButton(cancelButton_, QDialogButtonBox::RejectRole);

    auto* grid = new QGridLayout;
    grid->addWidget(dataTypeLabel, 0, 0);
    grid->addWidget(byteOrderLabel, 0, 1);
    grid->addWidget(dataTypes_, 1, 0);
    grid->addWidget(byteOrders_, 1, 1);
    grid->addWidget(valueField_, 2, 0);
    grid->addWidget(hexField_, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buildAllOrders());
    layout->addSpacing(6);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    valueField_->setFocus();
}

CNumberConvertorWindow::~CNumberConvertorWindow() {
    sendMessage(logic_.opener, WM_CONVERTOR_CLOSED);
}

QWidget* CNumberConvertorWindow::buildAllOrders() {
    // Shown from the start, empty until the first conversion, so the window keeps its size.
    auto* box = named(new QGroupBox(qText(kIdsConvertorAllOrders), this), "allOrdersBox");
    allOrders_ = named(new CWordOrdersGrid(box), "allOrders");
    allOrders_->setMinimumWidth(allOrders_->fullWidth());
    allOrders_->showReadings(logic_.allOrders());
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(allOrders_);
    return box;
}

void CNumberConvertorWindow::messageBox(unsigned id) {
    messageBox_->showWarning(std::string(loadString(id)));
}

void CNumberConvertorWindow::focusField(ConvertorField field) {
    // Applied once the fields show the outcome: setting a text drops its selection.
    pendingFocus_ = field;
}

void CNumberConvertorWindow::onDataTypeChanged(int index) {
    logic_.byteOrderIndex = byteOrders_->currentIndex();
    logic_.selectDataType(index);
    fillByteOrders();
}

void CNumberConvertorWindow::fillByteOrders() {
    const QSignalBlocker blocker(byteOrders_);
    byteOrders_->clear();
    for (const unsigned id : logic_.byteOrderTexts())
        byteOrders_->addItem(qText(id));
    byteOrders_->setCurrentIndex(logic_.byteOrderIndex);
}

void CNumberConvertorWindow::onConvert() {
    logic_.dataTypeIndex = dataTypes_->currentIndex();
    logic_.byteOrderIndex = byteOrders_->currentIndex();
    logic_.valueText = valueField_->text().toStdString();
    logic_.hexText = hexField_->text().toStdString();
    pendingFocus_.reset();
    logic_.convert();

    const QString value = qText(logic_.valueText);
    const QString hex = qText(logic_.hexText);
    if (valueField_->text() != value)
        valueField_->setText(value);
    if (hexField_->text() != hex)
        hexField_->setText(hex);
    allOrders_->showReadings(logic_.allOrders());
    if (pendingFocus_) {
        ::focusField(*pendingFocus_ == ConvertorField::Hexadecimal ? hexField_ : valueField_);
    }
}
