#include "windows/report_title_dialog.h"

#include "export/report_texts.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quilex {

namespace {

namespace texts = report_texts;

// The member each field edits, in the dialog's order.
constexpr QString ReportTitle::*Members[ReportTitleDialog::FieldCount] = {
    &ReportTitle::object, &ReportTitle::place,  &ReportTitle::operatorName, &ReportTitle::gauge,
    &ReportTitle::serial, &ReportTitle::probe,  &ReportTitle::calibration,  &ReportTitle::couplant,
};
const TextPair* const Labels[ReportTitleDialog::FieldCount] = {
    &texts::Object, &texts::Place, &texts::Operator,    &texts::Gauge,
    &texts::Serial, &texts::Probe, &texts::Calibration, &texts::Couplant,
};

} // namespace

ReportTitleDialog::ReportTitleDialog(const ReportTitle& title, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Text(texts::TitleDialogCaption));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(Text(texts::TitleDialogNote), this);
    layout->addWidget(note);
    auto* form = new QFormLayout;
    // Room for an object's or a calibration's usual length without scrolling the text.
    const int fieldWidth = fontMetrics().averageCharWidth() * 44;
    for (std::size_t i = 0; i < FieldCount; ++i) {
        fields_[i] = new QLineEdit(title.*Members[i], this);
        fields_[i]->setMinimumWidth(fieldWidth);
        form->addRow(Text(*Labels[i]) + u':', fields_[i]);
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    preview_ = buttons->addButton(Text(texts::PreviewButton), QDialogButtonBox::AcceptRole);
    pdf_ = buttons->addButton(Text(texts::PdfButton), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(Text(texts::CancelButton), QDialogButtonBox::RejectRole);
    preview_->setDefault(true);
    layout->addWidget(buttons);
    connect(preview_, &QPushButton::clicked, this, [this] {
        choice_ = Choice::Preview;
        accept();
    });
    connect(pdf_, &QPushButton::clicked, this, [this] {
        choice_ = Choice::Pdf;
        accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

ReportTitle ReportTitleDialog::title() const
{
    ReportTitle title;
    for (std::size_t i = 0; i < FieldCount; ++i)
        title.*Members[i] = fields_[i]->text().trimmed();
    return title;
}

} // namespace quilex
