#pragma once
// The inspection report's dialog: the title block's texts (object, place, operator, gauge and
// serial, probe, calibration, couplant), filled with those typed last for the table, and the
// choice of a preview (to print from) or a PDF file.

#include "table/report_title.h"

#include <QDialog>

#include <array>
#include <optional>

class QLineEdit;
class QPushButton;

namespace quilex {

class ReportTitleDialog : public QDialog {
    Q_OBJECT
public:
    enum class Choice { Preview, Pdf };

    explicit ReportTitleDialog(const ReportTitle& title, QWidget* parent = nullptr);

    ReportTitle title() const;
    // What the user chose; nothing after Cancel.
    std::optional<Choice> choice() const { return choice_; }

    // In the order of ReportTitle's members.
    static constexpr std::size_t FieldCount = 8;
    QLineEdit* field(std::size_t index) const { return fields_[index]; }
    QPushButton* previewButton() const { return preview_; }
    QPushButton* pdfButton() const { return pdf_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    std::array<QLineEdit*, FieldCount> fields_{};
    QPushButton* preview_ = nullptr;
    QPushButton* pdf_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::optional<Choice> choice_;
};

} // namespace quilex
