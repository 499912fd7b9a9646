#pragma once
// The material settings dialog: the gauge's 13 materials with their names in the language in
// use and their speeds of sound, editable, and the button that loads them into the gauge.
// The dialog is the gauge, label and grid target of the material exchanges; the main window
// starts the read when it opens the dialog, the load button starts the write.

#include "table/material_grid.h"
#include "table/string_grid.h"
#include "windows/string_grid_view.h"
#include "exchange/exchange_targets.h"
#include "windows/widget_bridge.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QLineEdit;

namespace quilex {

class TForm3 final : public QDialog, public GaugeTarget, public LabelTarget {
    Q_OBJECT
public:
    TForm3(ExchangeRunner& runner, QWidget* parent = nullptr);
    // An exchange still reporting into this dialog is cancelled and waited for first.
    ~TForm3() override;

    static constexpr int MaterialRows = 13;
    static constexpr int NameMaxLength = 12;
    static constexpr int SpeedMaxLength = 3;

    StringGridView* StringGrid1 = nullptr;
    QProgressBar* CGauge1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr;

    // The targets the starters hand to the exchange.
    GaugeTarget* gaugeTarget() { return this; }
    LabelTarget* labelTarget() { return this; }
    StringGrid& grid() { return grid_; }

    // Starts the read of the gauge's table into the grid (as the dialog opens); false when
    // another exchange runs.
    bool startRead();
    // Starts the write of the grid into the gauge; does nothing while any exchange runs.
    void Button1Click();

    // Ends the modal display; the dialog only hides. An exchange of this dialog still running
    // is given up (see the .cpp). Edits never loaded into the gauge are asked about first.
    void done(int result) override;

    // What to do with edits that were never loaded into the gauge when the dialog is closed.
    enum class UnloadedEdits { Load, Discard, KeepEditing };
    using UnloadedEditsQuestion = std::function<UnloadedEdits(QWidget* parent)>;
    UnloadedEditsQuestion askAboutUnloadedEdits;
    // The user changed a name or a speed since the table was last read or loaded.
    bool hasUnloadedEdits() const { return edited_; }
    void noteEdited() { edited_ = true; }

Q_SIGNALS:
    // A write that loaded the whole table into the gauge has ended.
    void materialsWritten();

public:
    // GaugeTarget, LabelTarget
    void setGaugePosition(int percent) override;
    void setGaugeVisible(bool visible) override;
    void setLabelText(const QString& text) override;

    // What the key handling does with one typed character in a cell of the given column;
    // public for the editor's filter.
    bool filterCharacter(int column, QChar character);
    bool showingWarning() const { return showingWarning_; }
    // Enter: the next material row, row 13 wrapping to row 1, in the same column.
    void moveToNextRow();
    // The length rule, after every change of an editor's text.
    void editTextChanged(QLineEdit* editor, int column, int gridRow, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool startExchange(std::uint8_t mode);
    void fitToTexts();
    void exchangeFinished(ExchangeOutcome outcome);

    ExchangeRunner& runner_;
    StringGrid grid_;
    MaterialGridTarget gridTarget_{grid_};
    // An exchange of this dialog has started and has not yet ended.
    bool reporting_ = false;
    bool writing_ = false;
    bool edited_ = false;
    bool showingWarning_ = false;
    QTimer fitTimer_;
};

} // namespace quilex
