#include "exchange/progress_dialog.h"

#include "app/texts.h"
#include "exchange/exchange_texts.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace quilex {

TForm2::TForm2(ExchangeState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state), gauge_(nullptr), label_(nullptr)
{
    setFixedSize(337, 44);
    CGauge1 = new QProgressBar(this);
    CGauge1->setGeometry(0, 0, 337, 17);
    CGauge1->setRange(0, 100);
    CGauge1->setValue(0);
    CGauge1->setTextVisible(true);
    Label1 = new QLabel(this);
    Label1->setGeometry(3, 24, 255, 17);
    Button1 = new QPushButton(Text(exchange_texts::CancelButton), this);
    Button1->setGeometry(262, 23, 75, 21);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    gauge_ = ProgressBarTarget(CGauge1);
    label_ = LabelWidgetTarget(Label1);
}

void TForm2::setDialogCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void TForm2::closeDialog()
{
    // Ends the modal display when it is running; a dialog already closed stays hidden.
    if (isVisible())
        done(QDialog::Accepted);
}

void TForm2::Button1Click()
{
    state_.CancelRequest = true;
}

void TForm2::reject()
{
    Button1Click();
    QDialog::reject();
}

} // namespace quilex
