#pragma once
// The screenshot window: fetches the picture on the gauge's screen, shows it framed at its
// natural size (132 x 68) in the chosen pen and background colours, and can save each
// picture to a bitmap file and copy it to the clipboard.

#include "exchange/exchange_targets.h"
#include "exchange/screen_image.h"
#include "windows/widget_bridge.h"

#include <QColor>
#include <QDialog>
#include <QImage>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace quilex {

class TForm5 final : public QDialog, public GaugeTarget, public LabelTarget {
    Q_OBJECT
public:
    TForm5(ExchangeRunner& runner, QWidget* parent = nullptr);
    // A download still reporting into this window is cancelled and waited for first.
    ~TForm5() override;

    QLabel* Image1 = nullptr;
    QPushButton* Button1 = nullptr;
    QProgressBar* CGauge1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QComboBox* ColorBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ColorBox2 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QTimer* Timer1 = nullptr;

    // Asks for the file every picture is saved to; gets the name chosen before (maybe empty)
    // and returns the new one, or an empty text when the user cancels. Replaceable for tests.
    using PictureFileDialog = std::function<QString(QWidget* parent, const QString& current)>;
    PictureFileDialog pictureFileDialog;

    GaugeTarget* gaugeTarget() { return this; }
    LabelTarget* labelTarget() { return this; }

    // The picture shown now (null before the first one).
    const QImage& picture() const { return picture_; }
    // The file each picture is saved to while CheckBox1 is ticked.
    const QString& pictureFileName() const { return fileName_; }
    bool downloading() const { return downloading_; }
    QColor penColour() const;
    QColor backgroundColour() const;
    // Selects a colour in a colour box, adding it to the list if it is not there.
    static void selectColour(QComboBox* box, const QColor& colour);

    void Button1Click();
    void Timer1Timer();
    void CheckBox1Click();

    // Ends the modal display; the window only hides (see the .cpp for a download that
    // cannot reach the gauge).
    void done(int result) override;

    // GaugeTarget, LabelTarget
    void setGaugePosition(int percent) override;
    void setGaugeVisible(bool visible) override;
    void setLabelText(const QString& text) override;

    // Paints a matrix in the two colours.
    static QImage paintMatrix(const ScreenMatrix& matrix, const QColor& pen, const QColor& background);

private:
    void exchangeFinished(ExchangeOutcome outcome);
    void leaveDownloading();

    ExchangeRunner& runner_;
    QImage picture_;
    QString fileName_;
    bool downloading_ = false;
    bool cancelAsked_ = false;
};

} // namespace quilex
