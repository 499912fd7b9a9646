#include "windows/screenshot_window.h"

#include "base/texts.h"
#include "exchange/bmtread_usb.h"
#include "exchange/exchange_texts.h"
#include "windows/text_fit.h"
#include "windows/window_texts.h"

#include <utility>

#include <QCheckBox>
#include <QClipboard>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>

namespace quilex {
namespace {

namespace wt = window_texts;

constexpr int WatchIntervalMs = 500;

QString choosePictureFile(QWidget* parent, const QString& current)
{
    // A save dialog: the pictures are written to the file, which need not exist yet.
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    dialog.setNameFilters({QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("All files (*)")});
    if (!current.isEmpty())
        dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QComboBox* makeColourBox(QWidget* parent, const QColor& initial)
{
    auto* box = new QComboBox(parent);
    for (const wt::NamedColour& entry : wt::ScreenColours) {
        const QColor colour = QColor::fromRgb(entry.rgb);
        QPixmap swatch(16, 12);
        swatch.fill(colour);
        box->addItem(QIcon(swatch), Text(entry.name), colour);
    }
    box->view()->setMinimumWidth(160);
    TForm5::selectColour(box, initial);
    return box;
}

QColor selectedColour(const QComboBox* box, const QColor& fallback)
{
    const QVariant data = box->currentData();
    return data.isValid() ? data.value<QColor>() : fallback;
}

} // namespace

TForm5::TForm5(ExchangeRunner& runner, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      pictureFileDialog(choosePictureFile), runner_(runner)
{
    setWindowTitle(Text(wt::ScreenshotCaption));

    Image1 = new QLabel(this);
    Image1->setFixedSize(132, 68);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Button1 = new QPushButton(Text(wt::ScreenshotUpdateButton), this);
    Button1->setMinimumSize(129, 25);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);

    CGauge1 = makeGaugeBar(this, QRect(8, 116, 129, 6));
    CGauge1->setFixedHeight(6);
    // The bar comes and goes with each download; the window keeps its place.
    QSizePolicy keep = CGauge1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    CGauge1->setSizePolicy(keep);
    CGauge1->hide();

    CheckBox1 = new QCheckBox(Text(wt::SaveToFileCheck), this);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm5::CheckBox1Click);
    CheckBox2 = new QCheckBox(Text(wt::SaveToClipboardCheck), this);

    ColorBox1 = makeColourBox(this, Qt::black);
    ColorBox1->setFixedSize(38, 22);
    Label1 = new QLabel(Text(wt::PenColourLabel), this);
    ColorBox2 = makeColourBox(this, Qt::white);
    ColorBox2->setFixedSize(38, 22);
    Label2 = new QLabel(Text(wt::BackgroundColourLabel), this);
    Label3 = new QLabel(this);
    // Room for the longest status the download can show.
    Label3->setMinimumWidth(widestText(Label3, {Text(exchange_texts::CheckConnectionLabel),
                                                Text(exchange_texts::LinkErrorLabel)}));

    // One column as drawn (149 x 249 is the least): the picture, the button and its bar, the two
    // boxes, the two colours with their names, the status. Wider texts widen the window.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 2);
    layout->setSpacing(3);
    layout->addWidget(Image1);
    layout->addSpacing(9);
    layout->addWidget(Button1);
    layout->addWidget(CGauge1);
    layout->addWidget(CheckBox1);
    layout->addWidget(CheckBox2);
    for (auto [box, label] : {std::pair{ColorBox1, Label1}, std::pair{ColorBox2, Label2}}) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        row->addWidget(box);
        row->addWidget(label, 1);
        layout->addLayout(row);
    }
    layout->addWidget(Label3);
    setFixedSize(layout->sizeHint().expandedTo(QSize(std::max(149, widthForCaption(this, windowTitle())), 249)));

    Timer1 = new QTimer(this);
    Timer1->setInterval(WatchIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);

    connect(&runner_, &ExchangeRunner::finished, this, &TForm5::exchangeFinished);
}

TForm5::~TForm5()
{
    // The download reports into this window's controls until it ends.
    if (downloading_ && runner_.busy()) {
        runner_.state().CancelRequest = true;
        runner_.waitForEnd();
    }
}

QColor TForm5::penColour() const
{
    return selectedColour(ColorBox1, Qt::black);
}

QColor TForm5::backgroundColour() const
{
    return selectedColour(ColorBox2, Qt::white);
}

void TForm5::selectColour(QComboBox* box, const QColor& colour)
{
    int index = box->findData(colour);
    if (index < 0) {
        QPixmap swatch(16, 12);
        swatch.fill(colour);
        box->addItem(QIcon(swatch), colour.name(), colour);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

void TForm5::Button1Click()
{
    if (downloading_ || runner_.busy())
        return;
    // The gauge bar still shows the last download's 100: the timer must not take that for the
    // end of this one if the new exchange is slow to make its first report.
    CGauge1->setValue(0);
    if (!runner_.start(Mode::ReadScreen, gaugeTarget(), nullptr, labelTarget(), nullptr))
        return;
    downloading_ = true;
    cancelAsked_ = false;
    Timer1->start();
    CGauge1->show();
    Button1->setEnabled(false);
}

QImage TForm5::paintMatrix(const ScreenMatrix& matrix, const QColor& pen, const QColor& background)
{
    QImage image(ScreenMatrix::Width, ScreenMatrix::Height, QImage::Format_RGB32);
    const QRgb ink = pen.rgb();
    const QRgb paper = background.rgb();
    for (int x = 0; x < ScreenMatrix::Width; ++x)
        for (int y = 0; y < ScreenMatrix::Height; ++y)
            image.setPixel(x, y, matrix.at(x, y) ? ink : paper);
    return image;
}

void TForm5::Timer1Timer()
{
    // The download shows 100 only once it has finished writing the picture.
    if (CGauge1->value() != 100)
        return;
    // Taking the picture uses it up, as building the matrix always has.
    const ScreenMatrix matrix = takeScreenMatrix(runner_.state().ScreenImage);
    picture_ = paintMatrix(matrix, penColour(), backgroundColour());
    Image1->setPixmap(QPixmap::fromImage(picture_));

    // Leave the downloading state first: a message box about the file must not leave the
    // timer running behind it.
    leaveDownloading();

    if (CheckBox1->isChecked() && !fileName_.isEmpty()) {
        // BMP whatever the name's extension; the old file is replaced only by a whole new one.
        // A device, pipe or socket of that name is not replaced by a plain file.
        const QFileInfo target(fileName_);
        QSaveFile file(fileName_);
        const bool saved = (!target.exists() || target.isFile()) && file.open(QIODevice::WriteOnly) &&
                           picture_.save(&file, "BMP") && file.commit();
        if (!saved) {
            QMessageBox box(QMessageBox::Critical, Text(exchange_texts::ErrorCaption),
                            Text(wt::PictureNotSaved).arg(fileName_), QMessageBox::Ok);
            box.exec();
        }
    }
    if (CheckBox2->isChecked())
        QGuiApplication::clipboard()->setImage(picture_);
}

void TForm5::leaveDownloading()
{
    Timer1->stop();
    CGauge1->hide();
    Button1->setEnabled(true);
    downloading_ = false;
}

void TForm5::CheckBox1Click()
{
    if (!CheckBox1->isChecked())
        return; // unticking keeps the name
    QString chosen = pictureFileDialog ? pictureFileDialog(this, fileName_) : QString();
    // A new name typed without an ending gets the bitmap's; a file that is there is taken as is.
    if (!chosen.isEmpty() && QFileInfo(chosen).suffix().isEmpty() && !QFileInfo::exists(chosen))
        chosen += QStringLiteral(".bmp");
    if (!chosen.isEmpty())
        fileName_ = chosen;
    // No name, now or before: the box would promise saves that cannot happen.
    if (fileName_.isEmpty())
        CheckBox1->setChecked(false);
}

void TForm5::done(int result)
{
    // A download behind a hidden window could retry for ever (a gauge that does not answer looks,
    // for a while, like one that is slow) and keep every other exchange from starting: closing
    // the window gives it up, whatever the link shows at this moment.
    if (downloading_ && runner_.busy()) {
        runner_.state().CancelRequest = true;
        cancelAsked_ = true;
    }
    QDialog::done(result);
}

void TForm5::exchangeFinished(ExchangeOutcome outcome)
{
    if (!downloading_)
        return; // not our download, or its picture has already been taken
    if (outcome == ExchangeOutcome::Completed) {
        cancelAsked_ = false;
        return; // the timer takes the picture
    }
    const bool tell = isVisible() && !cancelAsked_;
    cancelAsked_ = false;
    leaveDownloading();
    if (!tell)
        return;
    // Told after the exchange has returned: it reports its end from inside its last call
    // to this thread and would wait for the box.
    QMetaObject::invokeMethod(
        this,
        [] {
            QMessageBox box(QMessageBox::Critical, Text(wt::ScreenshotNotReadCaption), Text(wt::ScreenshotNotRead),
                            QMessageBox::Ok);
            box.exec();
        },
        Qt::QueuedConnection);
}

void TForm5::setGaugePosition(int percent)
{
    CGauge1->setValue(percent);
}

void TForm5::setGaugeVisible(bool visible)
{
    CGauge1->setVisible(visible);
}

void TForm5::setLabelText(const QString& text)
{
    Label3->setText(text);
}

} // namespace quilex
