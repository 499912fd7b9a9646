#pragma once
// The small window that follows an archive download: a gauge bar, the status text and
// Cancel. Closing it in any way (close box, Escape) is Cancel: a download the user can no
// longer see or stop must not go on behind the main window.

#include "exchange/exchange_state.h"
#include "exchange/exchange_targets.h"
#include "windows/widget_bridge.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quilex {

class TForm2 final : public QDialog, public DialogTarget {
    Q_OBJECT
public:
    TForm2(ExchangeState& state, QWidget* parent = nullptr);

    QProgressBar* CGauge1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr;

    GaugeTarget* gaugeTarget() { return &gauge_; }
    LabelTarget* labelTarget() { return &label_; }

    void setDialogCaption(const QString& caption) override;
    void closeDialog() override;

    void Button1Click();
    // The close box and Escape.
    void reject() override;

private:
    ExchangeState& state_;
    ProgressBarTarget gauge_;
    LabelWidgetTarget label_;
};

} // namespace quilex
