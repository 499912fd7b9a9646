#include "windows/progress_dialog.h"

#include "base/texts.h"
#include "exchange/exchange_texts.h"
#include "windows/text_fit.h"

#include <algorithm>

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace quilex {

TForm2::TForm2(ExchangeState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      state_(state), gauge_(nullptr), label_(nullptr)
{
    CGauge1 = new QProgressBar(this);
    CGauge1->setRange(0, 100);
    CGauge1->setValue(0);
    CGauge1->setTextVisible(true);
    CGauge1->setFixedHeight(17);
    Label1 = new QLabel(this);
    Button1 = new QPushButton(Text(exchange_texts::CancelButton), this);
    Button1->setMinimumSize(75, 21);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);

    // The bar across the top, the status text and Cancel beneath: 337 x 44 as drawn, and as
    // much more as the longest status text, the button and the mode titles need in the font
    // in use.
    namespace texts = exchange_texts;
    QStringList labels;
    for (const TextPair* pair : {&texts::ArchiveReadLabel, &texts::MaterialsReadLabel, &texts::SoundSpeedReadLabel,
                                 &texts::ReadyLabel, &texts::CheckConnectionLabel, &texts::LinkErrorLabel,
                                 &texts::NoDataLabel})
        labels << Text(*pair);
    Label1->setMinimumWidth(widestText(Label1, labels));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(4);
    layout->setVerticalSpacing(6);
    layout->addWidget(CGauge1, 0, 0, 1, 2);
    layout->addWidget(Label1, 1, 0);
    layout->setColumnStretch(0, 1);
    layout->addWidget(Button1, 1, 1);
    Label1->setIndent(3);
    QStringList titles;
    for (const TextPair* pair : {&texts::ConnectionTitle, &texts::VersionReadTitle, &texts::ParametersReadTitle,
                                 &texts::DataReadTitle})
        titles << Text(*pair);
    int captionWidth = 0;
    for (const QString& title : titles)
        captionWidth = std::max(captionWidth, widthForCaption(this, title));
    setFixedSize(layout->sizeHint().expandedTo(QSize(std::max(337, captionWidth), 44)));
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
